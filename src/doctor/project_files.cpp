// Bounded reads of small files, and the narrow TOML reading of Cargo.toml and pyproject.toml.
#include "doctor/project_files.hpp"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "core/text.hpp"

namespace tarnwick {

Result<std::string, OsError> read_regular_file(const std::string& path, std::size_t limit) {
    auto fd = open_fd(path, O_RDONLY | O_NONBLOCK | O_NOCTTY);
    if (!fd) return fd.error();
    struct stat st {};
    if (::fstat(fd->get(), &st) != 0) return OsError{errno};
    if (!S_ISREG(st.st_mode)) return OsError{EINVAL};
    if (static_cast<unsigned long long>(st.st_size) > limit) return OsError{EFBIG};
    return read_all(fd->get(), limit);
}

std::optional<std::string> toml_string(std::string_view text, std::string_view section,
                                       std::string_view key) {
    bool in_section = false;
    for (std::string_view line : lines(text)) {
        line = trim(line);
        if (line.starts_with('[')) {
            const auto close = line.find(']');
            in_section =
                close != std::string_view::npos && trim(line.substr(1, close - 1)) == section;
            continue;
        }
        if (!in_section || !line.starts_with(key)) continue;
        line = trim(line.substr(key.size()));
        if (!line.starts_with('=')) continue;
        line = trim(line.substr(1));
        if (line.empty() || (line.front() != '"' && line.front() != '\'')) return std::nullopt;
        const char quote = line.front();
        const auto close = line.find(quote, 1);
        if (close == std::string_view::npos) return std::nullopt;
        return std::string(line.substr(1, close - 1));
    }
    return std::nullopt;
}

}  // namespace tarnwick
