// The project destination is a byte path: --into may hold any bytes the platform allows,
// and only its display form is decoded.
#include "scaffold/destination.hpp"

#include <sys/stat.h>

namespace tarnwick {

std::string project_destination(std::string_view into, std::string_view name) {
    std::string path(into);
    if (!path.empty() && path.back() != '/') path += '/';
    path += name;
    return path;
}

bool path_exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

}  // namespace tarnwick
