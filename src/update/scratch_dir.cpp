#include "update/scratch_dir.hpp"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>
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

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace tarnwick
