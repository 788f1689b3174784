// PATH lookup without a spawn.
#include "process/program_path.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace tarnwick {

std::optional<std::string> find_program(std::string_view name) {
    const char* path = std::getenv("PATH");
    std::string_view dirs = path ? path : "/bin:/usr/bin";
    while (true) {
        const auto colon = dirs.find(':');
        std::string dir(dirs.substr(0, colon));
        const std::string candidate = (dir.empty() ? "." : dir) + "/" + std::string(name);
        struct stat st {};
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        if (colon == std::string_view::npos) return std::nullopt;
        dirs.remove_prefix(colon + 1);
    }
}

}  // namespace tarnwick
