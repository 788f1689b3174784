#include "update/renders.hpp"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>

#include "answers/render.hpp"
#include "core/io.hpp"

namespace tarnwick {

Result<std::vector<std::string>> render_formatted(const TemplateSet& set, const Answers& answers,
                                                  const std::string& dir,
                                                  const Formatting& formatting) {
    std::vector<std::string> files;
    TARNWICK_TRY(render_tree(*set.root, dir, answers, set.identity, files));
    std::sort(files.begin(), files.end());
    TARNWICK_TRY(format_rust_files(dir, files, formatting));
    return files;
}

Result<std::optional<std::string>> read_optional_file(const std::string& path) {
    auto fd = open_fd(path, O_RDONLY | O_NOFOLLOW);
    if (!fd) {
        if (fd.error().code == ENOENT) return std::optional<std::string>();
        return CliError::io(path + ": " + fd.error().text());
    }
    auto text = read_all(fd->get(), 1 << 24);
    if (!text) return CliError::io(path + ": " + text.error().text());
    return std::optional<std::string>(std::move(text).value());
}

}  // namespace tarnwick
