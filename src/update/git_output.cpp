#include "update/git_output.hpp"

#include <algorithm>
#include <map>

#include "core/text.hpp"

namespace tarnwick {
namespace {

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

// `git status`'s names for the stages an unmerged path has (1 base, 2 ours, 3 theirs).
const char* kind_of(unsigned stages) {
    switch (stages) {
        case 0b111:
            return "both modified";
        case 0b110:
            return "both added";
        case 0b011:
            return "deleted by them";
        case 0b101:
            return "deleted by us";
        case 0b010:
            return "added by us";
        case 0b100:
            return "added by them";
        default:
            return "both deleted";
    }
}

}  // namespace

WorkTreeStatus work_tree_status(std::string_view out) {
    WorkTreeStatus status;
    const auto records = split(out, '\0').strings();
    for (std::size_t i = 0; i < records.size(); ++i) {
        const std::string& record = records[i];
        if (record.starts_with("# branch.oid ")) {
            const std::string oid = record.substr(13);
            if (oid != "(initial)") status.head = oid;
            continue;
        }
        if (record.starts_with("# branch.head ")) {
            const std::string name = record.substr(14);
            if (name != "(detached)") status.branch = name;
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

std::optional<std::vector<Unmerged>> unmerged_paths(const std::vector<std::string>& records) {
    std::map<std::string, unsigned> stages;
    for (const std::string& record : records) {
        const auto tab = record.find('\t');
        const auto space = record.rfind(' ', tab);
        if (tab == std::string::npos || space == std::string::npos || tab != space + 2) {
            return std::nullopt;
        }
        const char stage = record[space + 1];
        if (stage < '1' || stage > '3') return std::nullopt;
        stages[record.substr(tab + 1)] |= 1u << (stage - '1');
    }
    std::vector<Unmerged> out;
    out.reserve(stages.size());
    for (const auto& [path, mask] : stages) out.push_back({path, kind_of(mask)});
    return out;
}

std::vector<std::string> hidden_from_status(std::string_view out) {
    std::vector<std::string> paths;
    for (const std::string_view record : split(out, '\0')) {
        if (record.size() < 3 || record[1] != ' ') continue;
        const char tag = record[0];
        if (tag == 'S' || (tag >= 'a' && tag <= 'z')) paths.emplace_back(record.substr(2));
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

}  // namespace tarnwick
