// The Homebrew tap deploy key: a fresh Ed25519 pair from ssh-keygen, the new public half added
// to the tap with write access, then earlier keys of the same title removed. The private key
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

// Adds public_key to the tap under `title` with write access, uploaded from a file in the key
// directory that is removed right after, and only then deletes the keys that carried the same
// title before. Returns whether an earlier key was deleted.
Result<bool> rotate_deploy_key(const KeyDirectory& dir, const std::string& tap,
                               const std::string& title, const std::string& public_key);

// Lists the tap's keys once more and fails unless public_key is among them: an overlapping
// run may have deleted it after it was added, and the stored secret would then open nothing.
Status confirm_deploy_key(const std::string& tap, const std::string& public_key,
                          std::string_view secret);

}  // namespace tarnwick
