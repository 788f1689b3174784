#include "core/temporary_directory.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "core/io.hpp"
#include "core/text.hpp"

namespace tarnwick {
namespace {

// Overwrites the regular file name in dir_fd with zeros, as long as it was, and flushes that.
void shred_file(int dir_fd, const char* name) {
    int fd = ::openat(dir_fd, name, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == EACCES && ::fchmodat(dir_fd, name, 0600, 0) == 0) {
        fd = ::openat(dir_fd, name, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    }
    if (fd < 0) return;
    const Fd owned(fd);
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return;
    static const char zeros[4096] = {};
    auto left = static_cast<std::size_t>(st.st_size);
    while (left > 0) {
        const std::size_t n = left < sizeof zeros ? left : sizeof zeros;
        if (!write_all(fd, std::string_view(zeros, n))) return;
        left -= n;
    }
    (void)::fsync(fd);  // fdatasync is not declared on every system
}

// Removes everything inside the directory dir_fd. Symbolic links are removed, never followed;
// a subdirectory a child made unreadable is opened up first, since it is ours to remove.
void remove_contents(int dir_fd, Shred shred) {
    const int listed = ::dup(dir_fd);
    if (listed < 0) return;
    DIR* dir = ::fdopendir(listed);
    if (dir == nullptr) {
        ::close(listed);
        return;
    }
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
            names.emplace_back(e->d_name);
        }
    }
    ::closedir(dir);
    for (const std::string& name : names) {
        struct stat st;
        if (::fstatat(dir_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (!S_ISDIR(st.st_mode)) {
            if (shred == Shred::Yes && S_ISREG(st.st_mode)) shred_file(dir_fd, name.c_str());
            (void)::unlinkat(dir_fd, name.c_str(), 0);
            continue;
        }
        const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        int sub = ::openat(dir_fd, name.c_str(), flags);
        if (sub < 0 && errno == EACCES && ::fchmodat(dir_fd, name.c_str(), 0700, 0) == 0) {
            sub = ::openat(dir_fd, name.c_str(), flags);
        }
        if (sub >= 0) {
            const Fd owned(sub);
            if ((st.st_mode & 0700) != 0700) (void)::fchmod(sub, 0700);
            remove_contents(sub, shred);
        }
        (void)::unlinkat(dir_fd, name.c_str(), AT_REMOVEDIR);
    }
}

}  // namespace

std::string temporary_base() {
    const char* dir = std::getenv("TMPDIR");
    return dir != nullptr && dir[0] == '/' ? std::string(dir) : std::string("/tmp");
}

Result<std::unique_ptr<TemporaryDirectory>> TemporaryDirectory::create(std::string_view prefix,
                                                                       Shred shred) {
    std::string pattern = temporary_base();
    if (pattern.back() != '/') pattern += '/';
    pattern.append(prefix);
    pattern += "XXXXXX";
    // Caught before the directory exists, so no signal finds it without its owner.
    auto catching = TerminationSignalCatch::unless_active();
    if (::mkdtemp(pattern.data()) == nullptr) return CliError::io(os_error_text(errno));
    return std::unique_ptr<TemporaryDirectory>(
        new TemporaryDirectory(std::move(catching), std::move(pattern), shred));
}

TemporaryDirectory::TemporaryDirectory(std::unique_ptr<TerminationSignalCatch> catching,
                                       std::string path, Shred shred)
    : catching_(std::move(catching)), path_(std::move(path)), shred_(shred) {}

TemporaryDirectory::~TemporaryDirectory() {
    // Whatever a child left in the directory goes with it. The signals stay caught until it is
    // gone (catching_ is the last member to go).
    const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::open(path_.c_str(), flags);
    if (fd < 0 && errno == EACCES && ::chmod(path_.c_str(), 0700) == 0) {
        fd = ::open(path_.c_str(), flags);
    }
    if (fd >= 0) {
        const Fd owned(fd);
        remove_contents(fd, shred_);
    }
    (void)::rmdir(path_.c_str());
}

std::string TemporaryDirectory::operator/(std::string_view name) const {
    std::string joined = path_;
    joined += '/';
    joined.append(name);
    return joined;
}

}  // namespace tarnwick
