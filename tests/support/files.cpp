#include "support/files.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace tarnwick::testing {
namespace {

std::string os_error(int code) {
    return std::string(std::strerror(code)) + " (errno " + std::to_string(code) + ")";
}

// Reads all of path; returns 0 or the errno of the step that failed.
int read_all(const std::string& path, std::string& out) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    int error = 0;
    char buf[65536];
    for (;;) {
        const ssize_t r = ::read(fd, buf, sizeof buf);
        if (r > 0) {
            out.append(buf, static_cast<std::size_t>(r));
        } else if (r == 0) {
            break;
        } else if (errno != EINTR) {
            error = errno;
            break;
        }
    }
    ::close(fd);
    return error;
}

}  // namespace

TempDir::TempDir() {
    std::string tmpl = "/tmp/tarnwick-test-XXXXXX";
    if (::mkdtemp(tmpl.data()) == nullptr)
        throw std::runtime_error("mkdtemp " + tmpl + ": " + os_error(errno));
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Restore write permission first so read-only test fixtures can be removed.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec)) ::chmod(it->path().c_str(), 0700);
    }
    std::filesystem::remove_all(path_, ec);
}

std::string read_file(const std::string& path) {
    std::string out;
    if (const int error = read_all(path, out)) {
        ADD_FAILURE() << "cannot read " << path << ": " << os_error(error);
        return "";
    }
    return out;
}

std::optional<std::string> read_file_if_exists(const std::string& path) {
    std::string out;
    const int error = read_all(path, out);
    if (error == ENOENT) return std::nullopt;
    if (error != 0) {
        ADD_FAILURE() << "cannot read " << path << ": " << os_error(error);
        return std::nullopt;
    }
    return out;
}

void write_file(const std::string& path, const std::string& contents) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    if (ec) {
        ADD_FAILURE() << "cannot create the directories of " << path << ": " << ec.message();
        return;
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        ADD_FAILURE() << "cannot write " << path << ": " << os_error(errno);
        return;
    }
    std::string_view rest = contents;
    while (!rest.empty()) {
        const ssize_t w = ::write(fd, rest.data(), rest.size());
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            ADD_FAILURE() << "cannot write " << path << ": " << os_error(w < 0 ? errno : EIO);
            break;
        }
        rest.remove_prefix(static_cast<std::size_t>(w));
    }
    if (::close(fd) != 0) ADD_FAILURE() << "cannot close " << path << ": " << os_error(errno);
}

bool exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> directory_entries(const std::string& dir) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        out.push_back(e.path().filename());
    return out;
}

}  // namespace tarnwick::testing
