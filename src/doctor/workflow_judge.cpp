// The judge reads versions only from the tag comment that pinned `uses:` lines carry
// (`@SHA # v7.0.1`, as the generated workflows and Dependabot write them): a commit alone says
// nothing about its age without the action's history, so an unexplained commit is a note.
#include "doctor/workflow_judge.hpp"

#include <algorithm>
#include <cstdlib>

#include "core/github_names.hpp"
#include "core/text.hpp"

namespace tarnwick {
namespace {

bool is_commit_sha(std::string_view ref) {
    if (ref.size() != 40) return false;
    for (const char c : ref) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

// Characters of a plain action path or ref: what a hand edit or a command may name as written.
bool plain_name(std::string_view text, std::size_t max) {
    if (text.empty() || text.size() > max || text.front() == '-' || text.front() == '.' ||
        text.find("..") != std::string_view::npos) {
        return false;
    }
    return std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '_' || c == '-' || c == '/';
    });
}

// "v1.2.3" → {1, 2, 3}; empty when the text is not of that form.
std::vector<long> version_numbers(std::string_view text) {
    if (text.starts_with('v') || text.starts_with('V')) text.remove_prefix(1);
    std::vector<long> numbers;
    while (!text.empty()) {
        std::size_t digits = 0;
        while (digits < text.size() && digits < 9 && text[digits] >= '0' && text[digits] <= '9') {
            ++digits;
        }
        if (digits == 0) return {};
        numbers.push_back(std::strtol(std::string(text.substr(0, digits)).c_str(), nullptr, 10));
        text.remove_prefix(digits);
        if (text.empty()) break;
        if (text.front() != '.') return {};
        text.remove_prefix(1);
        if (text.empty()) return {};
    }
    return numbers;
}

const RunnerImage* find_image(const PlatformTable& table, std::string_view label) {
    for (const RunnerImage& image : table.images) {
        if (image.label == label) return &image;
    }
    return nullptr;
}

const ActionPin* find_action(const PlatformTable& table, std::string_view action) {
    for (const ActionPin& pin : table.actions) {
        if (pin.action == action) return &pin;
    }
    return nullptr;
}

// The available images of the same family ("macos-15, macos-15-intel" for a macOS label).
std::string available_like(const PlatformTable& table, std::string_view label) {
    const std::string_view family = label.substr(0, label.find('-'));
    std::vector<std::string> names;
    for (const RunnerImage& image : table.images) {
        if (image.status == "available" && image.label.starts_with(std::string(family) + "-") &&
            !image.label.ends_with("-latest")) {
            names.push_back(image.label);
        }
    }
    return names.empty() ? std::string() : " (" + join(names, ", ") + ")";
}

// The retirement date a deprecated image's source names ("retired 2027-04-17, …").
std::string retirement_date(std::string_view source) {
    const auto at = source.find("retired ");
    if (at == std::string_view::npos) return {};
    std::string_view date = source.substr(at + 8);
    return std::string(date.substr(0, date.find_first_of(", ;)")));
}

std::optional<WorkflowFinding> judge_runner(const WorkflowEntry& entry,
                                            const PlatformTable& table) {
    if (entry.value.find("${{") != std::string::npos) return std::nullopt;
    const RunnerImage* image = find_image(table, entry.value);
    if (image == nullptr || image->status == "available") return std::nullopt;
    WorkflowFinding f;
    f.line = entry.line;
    f.stale = entry.value;
    f.edit =
        "replace " + entry.value + " with an available image" + available_like(table, entry.value);
    if (image->status == "retired") {
        f.severity = Severity::Error;
        f.message = "runner image " + entry.value + " is retired (" + image->date + "; " +
                    image->source + "): the job never starts";
    } else {
        f.severity = Severity::Warning;
        const std::string retires = retirement_date(image->source);
        f.message = "runner image " + entry.value + " is " + image->status + " since " +
                    image->date + (retires.empty() ? std::string() : " and retires on " + retires) +
                    " (" + image->source + ")";
    }
    return f;
}

std::optional<WorkflowFinding> judge_uses(const WorkflowEntry& entry, const PlatformTable& table) {
    const std::string& uses = entry.value;
    if (uses.starts_with("./") || uses.starts_with("docker://")) return std::nullopt;
    const auto at = uses.rfind('@');
    if (at == std::string::npos) return std::nullopt;
    const std::string path = uses.substr(0, at);
    const std::string ref = uses.substr(at + 1);
    const auto first = path.find('/');
    const std::string action =
        first == std::string::npos ? path : path.substr(0, path.find('/', first + 1));
    const ActionPin* pin = find_action(table, action);
    const std::string pinned = pin ? pin->tag + " (" + pin->sha.substr(0, 12) + ")" : std::string();
    // An edit or command names the action and ref only when they are plain names; a fix is
    // pasted, and the workflow's text is anyone's.
    const bool plain_path = is_github_repository(action) && plain_name(path, 300);
    const std::string to_pin = !pin ? std::string()
                               : plain_path
                                   ? "pin it as " + path + "@" + pin->sha + " # " + pin->tag
                                   : "pin it to the commit " + pin->sha + " (" + pin->tag + ")";
    const std::string comment_version(
        trim(std::string_view(entry.comment).substr(0, entry.comment.find_first_of(" \t"))));

    WorkflowFinding f;
    f.line = entry.line;
    if (!is_commit_sha(ref)) {
        f.severity = Severity::Warning;
        f.message = uses + " is on a tag, not a commit SHA";
        const auto order = pin ? compare_versions(ref, pin->tag) : std::nullopt;
        if (pin && (!order || *order <= 0)) {
            f.message += "; this tarnwick pins " + pinned;
            f.stale = uses;
            f.edit = to_pin;
        } else if (plain_path && plain_name(ref, 255)) {
            f.edit = "pin it to the commit " + ref + " names: `git ls-remote " +
                     shell_word("https://github.com/" + action) + " " + shell_word(ref) + "`";
        } else {
            f.edit =
                "pin it to the commit that its tag names, as listed by `git ls-remote` of "
                "the action's repository";
        }
        return f;
    }
    if (pin == nullptr) {
        f.message = action + " is not in this tarnwick's table: newer than this tarnwick knows";
        return f;
    }
    if (ref == pin->sha) return std::nullopt;
    const std::string shown = path + "@" + ref.substr(0, 12) +
                              (entry.comment.empty() ? std::string() : " (" + entry.comment + ")");
    const auto order = compare_versions(comment_version, pin->tag);
    if (order && *order > 0) {
        f.message = shown + " is newer than this tarnwick knows (" + pinned + ")";
        return f;
    }
    if (!order) {
        f.message = shown + " is not the commit this tarnwick pins, " + pinned +
                    ", and names no version to compare: it may be newer than this tarnwick knows";
        return f;
    }
    f.severity = Severity::Warning;
    f.message = shown + (*order < 0 ? " is older than the pinned " + pinned
                                    : " is not the commit of " + pinned);
    f.stale = uses;
    f.edit = to_pin;
    return f;
}

}  // namespace

std::optional<int> compare_versions(std::string_view a, std::string_view b) {
    const std::vector<long> x = version_numbers(a), y = version_numbers(b);
    if (x.empty() || y.empty()) return std::nullopt;
    for (std::size_t i = 0; i < std::max(x.size(), y.size()); ++i) {
        const long p = i < x.size() ? x[i] : 0, q = i < y.size() ? y[i] : 0;
        if (p != q) return p < q ? -1 : 1;
    }
    return 0;
}

std::vector<WorkflowFinding> judge_workflow(const std::vector<WorkflowEntry>& entries,
                                            const PlatformTable& table) {
    std::vector<WorkflowFinding> findings;
    for (const WorkflowEntry& entry : entries) {
        auto finding = entry.kind == WorkflowEntry::Kind::Uses ? judge_uses(entry, table)
                                                               : judge_runner(entry, table);
        if (finding) findings.push_back(std::move(*finding));
    }
    return findings;
}

}  // namespace tarnwick
