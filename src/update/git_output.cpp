#include "update/git_output.hpp"

#include <charconv>

#include "core/text.hpp"
#include "update/git_query.hpp"

namespace tarnwick {
namespace {

std::vector<std::string_view> split(std::string_view text, char sep) {
    std::vector<std::string_view> parts;
    while (true) {
        const auto end = text.find(sep);
        parts.push_back(text.substr(0, end));
        if (end == std::string_view::npos) return parts;
        text.remove_prefix(end + 1);
    }
}

// The text after the n-th space of a record, or nothing when it has fewer.
std::optional<std::string> after_spaces(std::string_view record, int n) {
    std::size_t at = 0;
    for (int i = 0; i < n; ++i) {
        at = record.find(' ', at);
        if (at == std::string_view::npos) return std::nullopt;
        ++at;
    }
    return std::string(record.substr(at));
}

}  // namespace

std::optional<RenderCommit> latest_render(std::string_view log) {
    for (std::string_view record : split(log, '\x1e')) {
        const auto fields = split(trim(record), '\x1f');
        if (fields.size() != 3) continue;
        const std::string_view version = trim(fields[2].substr(0, fields[2].find(',')));
        if (version.empty()) continue;
        return RenderCommit{std::string(fields[0]), std::string(fields[1]), std::string(version)};
    }
    return std::nullopt;
}

std::optional<RenderCommit> scaffold_root(std::string_view rev_list) {
    constexpr std::string_view kPrefix = "chore: scaffold ", kSuffix = " with tarnwick";
    for (std::string_view line : split(rev_list, '\n')) {
        const auto fields = split(line, '\x1f');
        if (fields.size() != 3) continue;
        const std::string_view subject = fields[2];
        if (subject.size() > kPrefix.size() + kSuffix.size() && subject.starts_with(kPrefix) &&
            subject.ends_with(kSuffix)) {
            return RenderCommit{std::string(fields[0]), std::string(fields[1]), std::nullopt};
        }
    }
    return std::nullopt;
}

std::optional<std::vector<std::optional<std::string>>> cat_file_batch(std::string_view out,
                                                                      std::size_t count) {
    std::vector<std::optional<std::string>> objects;
    for (std::size_t i = 0; i < count; ++i) {
        const auto eol = out.find('\n');
        if (eol == std::string_view::npos) return std::nullopt;
        const std::string_view header = out.substr(0, eol);
        out.remove_prefix(eol + 1);
        if (header.ends_with(" missing")) {
            objects.emplace_back(std::nullopt);
            continue;
        }
        const auto fields = split(header, ' ');
        if (fields.size() != 3) return std::nullopt;
        std::size_t size = 0;
        const auto [end, ec] =
            std::from_chars(fields[2].data(), fields[2].data() + fields[2].size(), size);
        if (ec != std::errc{} || end != fields[2].data() + fields[2].size()) return std::nullopt;
        if (out.size() < size + 1 || out[size] != '\n') return std::nullopt;
        objects.emplace_back(std::string(out.substr(0, size)));
        out.remove_prefix(size + 1);
    }
    return objects;
}

WorkTreeStatus work_tree_status(std::string_view out) {
    WorkTreeStatus status;
    const auto records = split_nul(out);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const std::string& record = records[i];
        if (record.starts_with("# branch.oid ")) {
            const std::string oid = record.substr(13);
            if (oid != "(initial)") status.head = oid;
            continue;
        }
        if (record.empty() || record[0] == '#') continue;
        // Ordinary, renamed or copied (followed by its original path), and unmerged entries.
        std::optional<std::string> path;
        if (record[0] == '1') path = after_spaces(record, 8);
        if (record[0] == '2') {
            path = after_spaces(record, 9);
            ++i;
        }
        if (record[0] == 'u') path = after_spaces(record, 10);
        status.changed.push_back(path.value_or(record));
    }
    return status;
}

}  // namespace tarnwick
