// Files for tests: a temporary directory removed with its contents, and whole-file reads and
// writes that fail the running test when the file system refuses them.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarnwick::testing {

// A fresh directory under /tmp, removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& rel) const { return path_ + "/" + rel; }

private:
    std::string path_;
};

// The bytes of path. A file that cannot be read fails the test (naming the path and the OS
// error) and reads as "", so a check of its contents cannot pass by accident.
std::string read_file(const std::string& path);

// The bytes of path, or nullopt when nothing is there; for files a test expects may be absent.
// Any other failure to read fails the test.
std::optional<std::string> read_file_if_exists(const std::string& path);

// Writes contents to path, creating its parent directories; a failure fails the test.
void write_file(const std::string& path, const std::string& contents);

// Whether anything (a dangling symlink included) is at path.
bool exists(const std::string& path);

// The names of what dir holds, in the order the directory gives them.
std::vector<std::string> directory_entries(const std::string& dir);

}  // namespace tarnwick::testing
