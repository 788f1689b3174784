// Template rendering: files before subdirectories at each level, sections cut before
// placeholders are replaced, every file written whole. Nothing is rolled back on failure.
#include "scaffold/render.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <optional>
#include <utility>

#include "core/io.hpp"
#include "core/text.hpp"

namespace tarnwick {
namespace {

constexpr std::string_view kTemplateSuffix = ".tmpl";
constexpr std::string_view kSectionOpen = "{{#pypi}}";
constexpr std::string_view kSectionClose = "{{/pypi}}";
constexpr std::string_view kPypiOnlyFile = "pyproject.toml";

std::string join_path(const std::string& base, std::string_view rel) {
    if (base.empty()) return std::string(rel);
    if (base.back() == '/') return base + std::string(rel);
    return base + "/" + std::string(rel);
}

// The parent of a path the way the file system reads it: "a/b" -> "a", "a" -> "",
// "/a" -> "/", and none for "/" itself.
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

bool is_directory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Creates path and its missing ancestors; an existing directory (or a link to one) is fine.
// The error is that of the first creation that failed.
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

Status write_whole_file(const std::string& target, std::string_view contents) {
    auto fd = open_fd(target, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (!fd) return CliError::io(fd.error().text());
    if (auto written = write_all(fd->get(), contents); !written) {
        return CliError::io(written.error().text());
    }
    return Ok{};
}

Status render_file(const TemplateFile& file, const std::string& destination,
                   const TemplateContext& context, std::vector<std::string>& written) {
    std::string_view output = file.path;
    if (output.size() >= kTemplateSuffix.size() && output.ends_with(kTemplateSuffix)) {
        output.remove_suffix(kTemplateSuffix.size());
    }
    if (!context.pypi && output == kPypiOnlyFile) return Ok{};

    const std::string target = join_path(destination, output);
    if (auto parent = parent_of(target)) {
        if (auto created = create_directories(*parent); !created) {
            return CliError::io(created.error().text());
        }
    }
    if (!is_valid_utf8(file.contents)) {
        return CliError::io("template " + std::string(file.path) + " is not valid UTF-8");
    }
    const std::string text =
        replace_placeholders(cut_sections(file.contents, context.pypi), context);
    TARNWICK_TRY(write_whole_file(target, text));
    written.emplace_back(output);
    return Ok{};
}

}  // namespace

std::string cut_sections(std::string_view text, bool pypi) {
    std::string out;
    out.reserve(text.size());
    bool in_section = false;
    while (!text.empty()) {
        auto newline = text.find('\n');
        std::size_t length = newline == std::string_view::npos ? text.size() : newline + 1;
        std::string_view line = text.substr(0, length);
        text.remove_prefix(length);
        std::string_view marker = trim(line);
        if (marker == kSectionOpen) {
            in_section = true;
        } else if (marker == kSectionClose) {
            in_section = false;
        } else if (!(in_section && !pypi)) {
            out.append(line);
        }
    }
    return out;
}

std::string replace_placeholders(std::string_view text, const TemplateContext& context) {
    const std::array<std::pair<std::string_view, const std::string*>, 8> tokens = {{
        {"{{name_snake}}", &context.name_snake},
        {"{{name_pascal}}", &context.name_pascal},
        {"{{name}}", &context.name},
        {"{{description}}", &context.description},
        {"{{owner}}", &context.owner},
        {"{{author_fields}}", &context.author_fields},
        {"{{author}}", &context.author},
        {"{{year}}", &context.year},
    }};
    // One pass from left to right: an inserted value is never scanned again, so a description
    // holding "{{owner}}" keeps it as typed.
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    for (auto at = text.find("{{"); at != std::string_view::npos; at = text.find("{{", at + 1)) {
        for (const auto& [token, value] : tokens) {
            if (text.substr(at).starts_with(token)) {
                out.append(text.substr(from, at - from));
                out.append(*value);
                from = at + token.size();
                at = from - 1;
                break;
            }
        }
    }
    out.append(text.substr(from));
    return out;
}

// At each level the files come before the subdirectories.
Status render_tree(const TemplateDir& dir, const std::string& destination,
                   const TemplateContext& context, std::vector<std::string>& written) {
    for (const TemplateEntry& entry : dir.entries) {
        if (entry.file) TARNWICK_TRY(render_file(*entry.file, destination, context, written));
    }
    for (const TemplateEntry& entry : dir.entries) {
        if (entry.dir) TARNWICK_TRY(render_tree(*entry.dir, destination, context, written));
    }
    return Ok{};
}

}  // namespace tarnwick
