// The key directory and its signal handler. The handler may run at any moment, so everything
// it needs is computed beforehand into fixed buffers, and it calls only async-signal-safe
// functions: kill, waitpid, unlink, rmdir, sigaction, sigprocmask and raise.
#include "secrets/key_directory.hpp"

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "core/termination_signals.hpp"
#include "core/text.hpp"
#include "process/runner.hpp"

namespace tarnwick {
namespace {

constexpr const char* kPrivateKeyName = "id_ed25519";
constexpr const char* kPublicKeyName = "id_ed25519.pub";
constexpr const char* kUploadName = "upload.pub";

constexpr std::size_t kPathCapacity = 4096;
char g_directory[kPathCapacity];
char g_files[3][kPathCapacity];
volatile sig_atomic_t g_armed = 0;
struct sigaction g_previous[kTerminationSignals.size()];
bool g_installed[kTerminationSignals.size()];

void copy_path(char* buffer, const std::string& path) {
    std::memcpy(buffer, path.c_str(), path.size() + 1);
}

extern "C" void remove_key_directory_and_reraise(int sig) {
    const int saved_errno = errno;
    if (g_armed) {
        // A child still running (ssh-keygen writing the pair) could recreate a file after
        // it was removed; it is stopped first.
        const pid_t child = running_child();
        if (child > 0) {
            ::kill(child, SIGKILL);
            while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
        for (const char* file : g_files) ::unlink(file);
        ::rmdir(g_directory);
        g_armed = 0;
    }
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    ::sigaction(sig, &dfl, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, sig);
    ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(sig);
    errno = saved_errno;
}

void install_handlers() {
    struct sigaction handler {};
    handler.sa_handler = remove_key_directory_and_reraise;
    sigemptyset(&handler.sa_mask);
    // A second signal must not interrupt the cleanup of the first.
    for (int sig : kTerminationSignals) sigaddset(&handler.sa_mask, sig);
    for (std::size_t i = 0; i < kTerminationSignals.size(); ++i) {
        g_installed[i] = false;
        if (::sigaction(kTerminationSignals[i], nullptr, &g_previous[i]) != 0) continue;
        // A signal ignored at start (a background job's SIGINT) stays ignored: it cannot end
        // the program, so there is nothing to clean up for it.
        if (!(g_previous[i].sa_flags & SA_SIGINFO) && g_previous[i].sa_handler == SIG_IGN) continue;
        g_installed[i] = ::sigaction(kTerminationSignals[i], &handler, nullptr) == 0;
    }
}

void restore_handlers() {
    for (std::size_t i = 0; i < kTerminationSignals.size(); ++i) {
        if (g_installed[i]) ::sigaction(kTerminationSignals[i], &g_previous[i], nullptr);
        g_installed[i] = false;
    }
}

}  // namespace

std::string temp_dir() {
    const char* dir = std::getenv("TMPDIR");
    return dir != nullptr && *dir != '\0' ? std::string(dir) : std::string("/tmp");
}

Result<std::unique_ptr<KeyDirectory>> KeyDirectory::create() {
    std::string base = temp_dir();
    if (base.back() != '/') base += '/';
    std::string pattern = base + "tarnwick-key-XXXXXX";
    // The handler's buffers hold every path; a longer one could not be opened anyway.
    if (pattern.size() + 1 + std::strlen(kPublicKeyName) + 1 > kPathCapacity)
        return CliError::io(os_error_text(ENAMETOOLONG));

    BlockTerminationSignals blocked;
    if (::mkdtemp(pattern.data()) == nullptr) return CliError::io(os_error_text(errno));
    std::unique_ptr<KeyDirectory> dir(new KeyDirectory(pattern));
    copy_path(g_directory, dir->path_);
    copy_path(g_files[0], dir->private_key_);
    copy_path(g_files[1], dir->public_key_);
    copy_path(g_files[2], dir->upload_);
    g_armed = 1;
    install_handlers();
    return dir;
}

KeyDirectory::KeyDirectory(std::string path)
    : path_(std::move(path)),
      private_key_(path_ + "/" + kPrivateKeyName),
      public_key_(path_ + "/" + kPublicKeyName),
      upload_(path_ + "/" + kUploadName) {}

KeyDirectory::~KeyDirectory() {
    BlockTerminationSignals blocked;
    // Whatever a child left in the directory goes with it; nothing in it is followed.
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
    g_armed = 0;
    restore_handlers();
}

}  // namespace tarnwick
