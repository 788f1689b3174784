// Template rendering: files before subdirectories at each level, sections cut before
// placeholders are replaced, every file created anew (never through a link, never over an
// existing file) and written whole. Nothing is rolled back on failure.
#include "answers/render.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <utility>

#include "core/io.hpp"
#include "core/text.hpp"

namespace tarnwick {
namespace {

constexpr std::string_view kTemplateSuffix = ".tmpl";

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

// Every placeholder with its value, computed once for a whole render.
using Placeholders = std::vector<std::pair<std::string_view, std::string>>;

Placeholders placeholders_of(const Answers& answers, std::string_view template_set) {
    Placeholders tokens;
    for (const AnswerRow& row : answer_rows()) {
        tokens.emplace_back(row.placeholder, row.text(answers));
    }
    for (const DerivedValue& derived : derived_values()) {
        tokens.emplace_back(derived.placeholder, derived.value(answers));
    }
    tokens.emplace_back("{{template_set}}", std::string(template_set));
    return tokens;
}

// One pass from left to right: an inserted value is never scanned again, so a description
// holding "{{owner}}" keeps it as typed.
std::string replaced(std::string_view text, const Placeholders& tokens) {
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    for (auto at = text.find("{{"); at != std::string_view::npos; at = text.find("{{", at + 1)) {
        for (const auto& [token, value] : tokens) {
            if (text.substr(at).starts_with(token)) {
                out.append(text.substr(from, at - from));
                out.append(value);
                from = at + token.size();
                at = from - 1;
                break;
            }
        }
    }
    out.append(text.substr(from));
    return out;
}

Status render_file(const TemplateFile& file, const std::string& destination, const Answers& answers,
                   const Placeholders& placeholders, std::vector<std::string>& written) {
    std::string_view stored = file.path;
    if (stored.size() >= kTemplateSuffix.size() && stored.ends_with(kTemplateSuffix)) {
        stored.remove_suffix(kTemplateSuffix.size());
    }
    const auto output = output_path(stored, answers);
    if (!output) return Ok{};

    const std::string target = join_path(destination, *output);
    if (auto parent = parent_of(target)) {
        if (auto created = create_directories(*parent); !created) {
            return io_error(created.error());
        }
    }
    if (!is_valid_utf8(file.contents)) {
        return CliError::io("template " + std::string(file.path) + " is not valid UTF-8");
    }
    const std::string text = replaced(cut_sections(file.contents, answers), placeholders);
    TARNWICK_TRY(write_whole_file(target, text));
    written.push_back(*output);
    return Ok{};
}

// The switch and the side of it a marker line opens ('#' kept when on, '^' when off) or closes
// ('/'); none for any other line.
struct Marker {
    char kind;
    const TemplateSwitch* which;
};

std::optional<Marker> marker_of(std::string_view line) {
    if (line.size() < 5 || !line.starts_with("{{") || !line.ends_with("}}")) return std::nullopt;
    const char kind = line[2];
    if (kind != '#' && kind != '^' && kind != '/') return std::nullopt;
    const std::string_view name = line.substr(3, line.size() - 5);
    for (const TemplateSwitch& s : template_switches()) {
        if (s.name == name) return Marker{kind, &s};
    }
    return std::nullopt;
}

}  // namespace

std::string cut_sections(std::string_view text, const Answers& answers) {
    struct Open {
        const TemplateSwitch* which;
        bool keep;
    };
    std::vector<Open> open;
    bool keeping = true;  // no open section drops its lines
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        auto newline = text.find('\n');
        std::size_t length = newline == std::string_view::npos ? text.size() : newline + 1;
        std::string_view line = text.substr(0, length);
        text.remove_prefix(length);
        const auto marker =
            line.find("{{") == std::string_view::npos ? std::nullopt : marker_of(trim(line));
        if (!marker) {
            if (keeping) out.append(line);
            continue;
        }
        std::erase_if(open, [&](const Open& o) { return o.which == marker->which; });
        if (marker->kind != '/') {
            const bool on = marker->which->on(answers);
            open.push_back({marker->which, marker->kind == '#' ? on : !on});
        }
        keeping = std::all_of(open.begin(), open.end(), [](const Open& o) { return o.keep; });
    }
    return out;
}

std::string replace_placeholders(std::string_view text, const Answers& answers,
                                 std::string_view template_set) {
    return replaced(text, placeholders_of(answers, template_set));
}

namespace {

// At each level the files come before the subdirectories.
Status render_dir(const TemplateDir& dir, const std::string& destination, const Answers& answers,
                  const Placeholders& placeholders, std::vector<std::string>& written) {
    for (const TemplateEntry& entry : dir.entries) {
        if (entry.file) {
            TARNWICK_TRY(render_file(*entry.file, destination, answers, placeholders, written));
        }
    }
    for (const TemplateEntry& entry : dir.entries) {
        if (entry.dir) {
            TARNWICK_TRY(render_dir(*entry.dir, destination, answers, placeholders, written));
        }
    }
    return Ok{};
}

}  // namespace

Status render_tree(const TemplateDir& root, const std::string& destination, const Answers& answers,
                   std::string_view template_set, std::vector<std::string>& written) {
    return render_dir(root, destination, answers, placeholders_of(answers, template_set), written);
}

}  // namespace tarnwick
