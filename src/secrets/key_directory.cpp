// The key directory. While it exists the termination signals are only recorded (see
// TerminationSignalCatch): the runner stops the child and fails, and the directory goes as the
// run unwinds, so no cleanup ever runs inside a signal handler.
#include "secrets/key_directory.hpp"

#include <stdlib.h>

#include <cerrno>
#include <filesystem>

#include "core/termination_signals.hpp"
#include "core/text.hpp"

namespace tarnwick {
namespace {

constexpr const char* kPrivateKeyName = "id_ed25519";
constexpr const char* kPublicKeyName = "id_ed25519.pub";
constexpr const char* kUploadName = "upload.pub";

}  // namespace

std::string temp_dir() {
    const char* dir = std::getenv("TMPDIR");
    return dir != nullptr && *dir != '\0' ? std::string(dir) : std::string("/tmp");
}

Result<std::unique_ptr<KeyDirectory>> KeyDirectory::create() {
    std::string base = temp_dir();
    if (base.back() != '/') base += '/';
    std::string pattern = base + "tarnwick-key-XXXXXX";
    // Caught before the directory exists, so no signal finds it without its owner.
    auto catching = std::make_unique<TerminationSignalCatch>();
    if (::mkdtemp(pattern.data()) == nullptr) return CliError::io(os_error_text(errno));
    return std::unique_ptr<KeyDirectory>(new KeyDirectory(std::move(catching), pattern));
}

KeyDirectory::KeyDirectory(std::unique_ptr<TerminationSignalCatch> catching, std::string path)
    : catching_(std::move(catching)),
      path_(std::move(path)),
      private_key_(path_ + "/" + kPrivateKeyName),
      public_key_(path_ + "/" + kPublicKeyName),
      upload_(path_ + "/" + kUploadName) {}

KeyDirectory::~KeyDirectory() {
    // Whatever a child left in the directory goes with it; nothing in it is followed. The
    // signals stay caught until it is gone (catching_ is the last member to go).
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

}  // namespace tarnwick
