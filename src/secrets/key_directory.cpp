#include "secrets/key_directory.hpp"

namespace tarnwick {

Result<std::unique_ptr<KeyDirectory>> KeyDirectory::create() {
    TARNWICK_TRY_ASSIGN(auto dir, TemporaryDirectory::create("tarnwick-key-", Shred::Yes));
    return std::unique_ptr<KeyDirectory>(new KeyDirectory(std::move(dir)));
}

KeyDirectory::KeyDirectory(std::unique_ptr<TemporaryDirectory> dir)
    : dir_(std::move(dir)),
      private_key_(*dir_ / "id_ed25519"),
      public_key_(*dir_ / "id_ed25519.pub"),
      upload_(*dir_ / "upload.pub") {}

}  // namespace tarnwick
