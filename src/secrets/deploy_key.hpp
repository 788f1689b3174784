// The Homebrew tap deploy key: a fresh Ed25519 pair from ssh-keygen, earlier keys of the same
// title removed from the tap, the new public half added with write access. The private key
// lives only in memory and, briefly, in the file ssh-keygen writes into a private key
// directory, which is always removed.
#pragma once

#include <string>
#include <string_view>

#include "core/result.hpp"
#include "secrets/key_directory.hpp"

namespace tarnwick {

struct KeyPair {
    std::string private_key;  // the whole file, final newline included
    std::string public_key;
};

// "<name> release (CI push)": the key's comment, its title on the tap, and how an earlier key
// of the same project is recognised.
std::string deploy_key_title(std::string_view name);

// Runs ssh-keygen into the key directory and reads both halves back. Both key files are
// removed on every way out, failures included.
Result<KeyPair> generate_key_pair(const KeyDirectory& dir, std::string_view comment);

// Deletes every tap key titled exactly `title`, then adds public_key under that title with
// write access, uploaded from a file in the key directory that is removed right after.
// Returns whether an earlier key was deleted.
Result<bool> rotate_deploy_key(const KeyDirectory& dir, const std::string& tap,
                               const std::string& title, const std::string& public_key);

}  // namespace tarnwick
