#include "core/io.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/signal_wait.hpp"
#include "core/termination_signals.hpp"
#include "core/text.hpp"

namespace tarnwick {
namespace {

bool is_directory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string OsError::text() const {
    std::string what = code == kWriteZero     ? "failed to write whole buffer"
                       : code == kInvalidUtf8 ? "stream did not contain valid UTF-8"
                                              : os_error_text(code);
    return context.empty() ? what : context + ": " + what;
}

void Fd::reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

Result<Fd, OsError> open_fd(const std::string& path, int flags, int mode) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    if (fd < 0) return OsError{errno};
    return Fd(fd);
}

OsStatus write_all(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return OsError{errno};
        }
        if (n == 0) return OsError{OsError::kWriteZero};
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return Ok{};
}

Result<std::string, OsError> read_all(int fd, std::size_t limit) {
    std::string bytes;
    char buf[65536];
    while (true) {
        // One byte past the limit is asked for, so that an input of exactly limit bytes is
        // told from a longer one. bytes.size() <= limit here, and room cannot wrap, not even
        // for a limit of SIZE_MAX.
        const std::size_t left = limit - bytes.size();
        const std::size_t room = left < sizeof buf ? left + 1 : sizeof buf;
        // While termination signals are caught they are blocked; a read that may wait (a
        // terminal, a pipe) waits with them unblocked, so that one ends it.
        if (const sigset_t* mask = termination_wait_mask()) {
            pollfd p{fd, POLLIN, 0};
            if (poll_with_mask(&p, 1, nullptr, mask) < 0) {
                if (errno != EINTR) return OsError{errno};
                if (caught_termination_signal() != 0) return OsError{EINTR};
                continue;
            }
        }
        ssize_t n = ::read(fd, buf, room);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                pollfd p{fd, POLLIN, 0};
                if (::poll(&p, 1, -1) >= 0 || errno == EINTR) continue;
            }
            return OsError{errno};
        }
        if (n == 0) return bytes;
        bytes.append(buf, static_cast<std::size_t>(n));
        if (bytes.size() > limit) return OsError{EFBIG};
    }
}

Result<std::string, OsError> read_utf8(int fd, std::size_t limit) {
    auto bytes = read_all(fd, limit);
    if (bytes && !is_valid_utf8(*bytes)) return OsError{OsError::kInvalidUtf8};
    return bytes;
}

bool path_exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

std::optional<std::string> parent_of(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    if (path == "/" || path.empty()) return std::nullopt;
    auto slash = path.rfind('/');
    if (slash == std::string_view::npos) return std::string();
    std::string_view parent = path.substr(0, slash);
    while (!parent.empty() && parent.back() == '/') parent.remove_suffix(1);
    if (parent.empty()) return std::string("/");
    return std::string(parent);
}

OsStatus create_directories(const std::string& path) {
    if (path.empty() || ::mkdir(path.c_str(), 0777) == 0) return Ok{};
    const int err = errno;
    if (err != ENOENT) return is_directory(path) ? OsStatus(Ok{}) : OsError{err};
    auto parent = parent_of(path);
    if (!parent) return OsError{err};
    TARNWICK_TRY(create_directories(*parent));
    if (::mkdir(path.c_str(), 0777) == 0) return Ok{};
    const int last = errno;  // before is_directory's stat can change it
    return is_directory(path) ? OsStatus(Ok{}) : OsError{last};
}

}  // namespace tarnwick
