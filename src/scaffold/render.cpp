// Template rendering: files before subdirectories at each level, sections cut before
// placeholders are replaced, every file created anew (never through a link, never over an
// existing file) and written whole. Nothing is rolled back on failure.
#include "scaffold/render.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <utility>

#include "core/io.hpp"
#include "core/text.hpp"
#include "scaffold/destination.hpp"

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

Status write_whole_file(const std::string& target, std::string_view contents) {
    auto fd = open_fd(target, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0666);
    if (!fd) return io_error(fd.error());
    if (auto written = write_all(fd->get(), contents); !written) {
        return io_error(written.error());
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
            return io_error(created.error());
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

std::string default_tap(std::string_view owner) {
    return std::string(owner) + "/homebrew-tap";
}

std::string tap_short_name(std::string_view tap) {
    constexpr std::string_view kPrefix = "homebrew-";
    const auto slash = tap.find('/');
    if (slash == std::string_view::npos || !tap.substr(slash + 1).starts_with(kPrefix)) {
        return std::string(tap);
    }
    return std::string(tap.substr(0, slash + 1)) +
           std::string(tap.substr(slash + 1 + kPrefix.size()));
}

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
    const std::string pypi = context.pypi ? "true" : "false";
    const std::string tap_short = tap_short_name(context.tap);
    const std::array<std::pair<std::string_view, const std::string*>, 12> tokens = {{
        {"{{name_snake}}", &context.name_snake},
        {"{{name_pascal}}", &context.name_pascal},
        {"{{name}}", &context.name},
        {"{{description}}", &context.description},
        {"{{owner}}", &context.owner},
        {"{{author_fields}}", &context.author_fields},
        {"{{author}}", &context.author},
        {"{{year}}", &context.year},
        {"{{pypi}}", &pypi},
        {"{{tap_short}}", &tap_short},
        {"{{tap}}", &context.tap},
        {"{{template_set}}", &context.template_set},
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
