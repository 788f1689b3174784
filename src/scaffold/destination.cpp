// The project destination is a byte path: --into may hold any bytes the platform allows,
// and only its display form is decoded.
#include "scaffold/destination.hpp"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "core/text.hpp"

namespace tarnwick {
namespace {

bool is_directory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

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
