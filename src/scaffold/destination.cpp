// The project destination is a byte path: --into may hold any bytes the platform allows,
// and only its display form is decoded.
#include "scaffold/destination.hpp"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "core/text.hpp"

namespace tarnwick {

std::string project_destination(std::string_view into, std::string_view name) {
    std::string path(into);
    if (!path.empty() && path.back() != '/') path += '/';
    path += name;
    return path;
}

std::optional<std::string> case_variant_in(const std::string& dir, std::string_view name) {
    DIR* listing = ::opendir(dir.empty() ? "." : dir.c_str());
    if (listing == nullptr) return std::nullopt;
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    std::optional<std::string> variant;
    bool exact = false;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view found(entry->d_name);
        if (found == name) exact = true;
        if (found.size() == name.size() && found != name && !variant &&
            std::equal(found.begin(), found.end(), name.begin(),
                       [&](char a, char b) { return lower(a) == lower(b); })) {
            variant = std::string(found);
        }
    }
    ::closedir(listing);
    if (exact) return std::nullopt;
    return variant;
}

CliError destination_taken(const std::string& destination, const std::string& display) {
    const auto slash = destination.find_last_of('/');
    const std::string name =
        slash == std::string::npos ? destination : destination.substr(slash + 1);
    if (auto variant = case_variant_in(parent_of(destination).value_or(""), name)) {
        return CliError::exists(project_destination(parent_of(display).value_or(""), *variant) +
                                " (which this file system does not tell apart from " +
                                tarnwick::quoted(name) + ")");
    }
    return CliError::exists(display);
}

Status claim_project_directory(const std::string& destination, const std::string& display) {
    int made = ::mkdir(destination.c_str(), 0777);
    if (made != 0 && errno == ENOENT) {
        if (auto parent = parent_of(destination)) {
            if (auto ancestors = create_directories(*parent); !ancestors) {
                return io_error(ancestors.error());
            }
        }
        made = ::mkdir(destination.c_str(), 0777);
    }
    if (made == 0) return Ok{};
    const int err = errno;
    if (err == EEXIST) return destination_taken(destination, display);
    return CliError::io(os_error_text(err));
}

}  // namespace tarnwick
