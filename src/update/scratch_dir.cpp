#include "update/scratch_dir.hpp"

#include <ftw.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/io.hpp"

namespace tarnwick {

Result<std::unique_ptr<ScratchDir>> ScratchDir::create() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = (tmp && *tmp) ? tmp : "/tmp";
    pattern += "/tarnwick-update-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr) return CliError::io(OsError{errno}.text());
    return std::unique_ptr<ScratchDir>(new ScratchDir(buffer.data()));
}

namespace {

// Children before their directory; symbolic links are removed, never followed.
int remove_entry(const char* path, const struct stat*, int, struct FTW*) {
    (void)std::remove(path);
    return 0;
}

}  // namespace

ScratchDir::~ScratchDir() {
    (void)::nftw(path_.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
}

}  // namespace tarnwick
