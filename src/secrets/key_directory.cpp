#include "secrets/key_directory.hpp"

namespace tarnwick {

Result<std::unique_ptr<KeyDirectory>> KeyDirectory::create() {
    auto dir = TemporaryDirectory::create("tarnwick-key-", Shred::Yes);
    TARNWICK_TRY(dir);
    return std::unique_ptr<KeyDirectory>(new KeyDirectory(std::move(dir).value()));
}

KeyDirectory::KeyDirectory(std::unique_ptr<TemporaryDirectory> dir)
    : dir_(std::move(dir)),
      private_key_(*dir_ / "id_ed25519"),
      public_key_(*dir_ / "id_ed25519.pub"),
      upload_(*dir_ / "upload.pub") {}

}  // namespace tarnwick
