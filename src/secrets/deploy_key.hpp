// The Homebrew tap deploy key: a fresh Ed25519 pair from ssh-keygen, earlier keys of the same
// title removed from the tap, the new public half added with write access. The private key
// lives only in memory and, briefly, in the file ssh-keygen writes, which is always removed.
#pragma once

#include <string>
#include <string_view>

#include "core/result.hpp"

namespace tarnwick {

struct KeyPair {
    std::string private_key;  // the whole file, final newline included
    std::string public_key;
};

// "<name> release (CI push)": the key's comment, its title on the tap, and how an earlier key
// of the same project is recognised.
std::string deploy_key_title(std::string_view name);

// The directory for the temporary key files: $TMPDIR when set, else /tmp.
std::string temp_dir();

// Runs ssh-keygen into temp_dir()/tarnwick-key-<pid> and reads both halves back. Both key
// files are removed on every way out, failures included.
Result<KeyPair> generate_key_pair(std::string_view comment);

// Deletes every tap key titled exactly `title`, then adds public_key under that title with
// write access. Returns whether an earlier key was deleted.
Result<bool> rotate_deploy_key(const std::string& tap, const std::string& title,
                               const std::string& public_key);

}  // namespace tarnwick
