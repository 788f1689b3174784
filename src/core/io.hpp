// Descriptors, whole-buffer I/O and the few path operations, with one error convention: a
// low-level operation returns Result<T, OsError> (OsStatus when there is no value), and
// OsError::text() is what a message shows. Command-level code turns an OsError into a CliError
// where it knows the kind.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/result.hpp"

namespace tarnwick {

// An errno, kWriteZero for a write that accepted no bytes, or kInvalidUtf8 for text that
// was read whole but is not UTF-8.
struct OsError {
    static constexpr int kWriteZero = -1;
    static constexpr int kInvalidUtf8 = -2;
    int code = 0;
    // What was being done, when the error alone would mislead ("cannot change to \"dir\"").
    std::string context = {};
    // "<description> (os error <n>)", "failed to write whole buffer" or "stream did not
    // contain valid UTF-8", after "<context>: " when there is one.
    std::string text() const;
};

using OsStatus = Result<Ok, OsError>;

// An OS error as the user sees it: an io error with the error's own text.
inline CliError io_error(const OsError& error) {
    return CliError::io(error.text());
}

// Owns a file descriptor; closes it once.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = other.release();
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }

    int get() const { return fd_; }
    bool open() const { return fd_ >= 0; }
    void reset();
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_ = -1;
};

// open(2) with O_CLOEXEC added; the error is the errno.
Result<Fd, OsError> open_fd(const std::string& path, int flags, int mode = 0);

// Writes every byte, continuing after partial writes and retrying EINTR.
OsStatus write_all(int fd, std::string_view data);

// Reads to end-of-file, at most limit bytes: a longer input fails with EFBIG. EINTR is retried
// and a non-blocking descriptor is waited on, so the limit is the only way to stop early,
// except for a termination signal while they are caught: it ends the wait with EINTR.
Result<std::string, OsError> read_all(int fd, std::size_t limit);

// read_all of text: bytes that are not UTF-8 fail with kInvalidUtf8.
Result<std::string, OsError> read_utf8(int fd, std::size_t limit);

// True when a status query of path succeeds, following symbolic links: a dangling link
// counts as free.
bool path_exists(const std::string& path);

// The parent of a path the way the file system reads it: "a/b" -> "a", "a" -> "",
// "/a" -> "/", and none for "/" itself.
std::optional<std::string> parent_of(std::string_view path);

// Creates path and its missing ancestors; an existing directory (or a link to one) is fine.
// The error is that of the first creation that failed.
OsStatus create_directories(const std::string& path);

}  // namespace tarnwick
