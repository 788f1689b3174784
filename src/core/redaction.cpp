// The run's secret values live in one process-wide list: the program runs one command, and
// every place that turns a child's output into a message needs the same list.
#include "core/redaction.hpp"

#include <algorithm>
#include <vector>

#include "core/text.hpp"

namespace tarnwick {
namespace {

std::vector<std::string>& secrets() {
    static std::vector<std::string> values;
    return values;
}

}  // namespace

void add_secret(std::string_view value) {
    if (value.empty()) return;
    auto& values = secrets();
    if (std::find(values.begin(), values.end(), value) != values.end()) return;
    values.emplace_back(value);
    // Longest first; among equals, a stable order.
    std::stable_sort(values.begin(), values.end(), [](const std::string& a, const std::string& b) {
        return a.size() > b.size();
    });
}

void add_secret_with_lines(std::string_view value) {
    add_secret(value);
    for (const std::string_view line : lines(value)) add_secret(trim(line));
}

void clear_secrets() {
    secrets().clear();
}

// One pass from left to right, so that the replacement text itself is never searched again:
// the earliest occurrence of any value is replaced, the longest value where several start at
// the same place. Each value's next occurrence is found with find(), so a child's long output
// costs little more than one scan per value.
std::string redact(std::string_view text) {
    const auto& values = secrets();
    if (values.empty()) return std::string(text);
    std::vector<std::size_t> next(values.size());
    for (std::size_t k = 0; k < values.size(); ++k) next[k] = text.find(values[k]);
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    while (true) {
        std::size_t best = std::string_view::npos, which = 0;
        for (std::size_t k = 0; k < values.size(); ++k) {
            if (next[k] < best) {  // strict: the longer of two values at one place wins
                best = next[k];
                which = k;
            }
        }
        if (best == std::string_view::npos) break;
        out.append(text.substr(at, best - at));
        out += kRedacted;
        at = best + values[which].size();
        for (std::size_t k = 0; k < values.size(); ++k) {
            if (next[k] != std::string_view::npos && next[k] < at)
                next[k] = text.find(values[k], at);
        }
    }
    out.append(text.substr(at));
    return out;
}

namespace {

bool is_scheme_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '-' || c == '.';
}

// Where the authority of a URL ends: at its path, query or fragment, or where the text
// around it resumes (white space, a quote or a bracket).
bool ends_authority(char c) {
    return c == '/' || c == '?' || c == '#' || static_cast<unsigned char>(c) <= ' ' || c == '"' ||
           c == '\'' || c == '<' || c == '>' || c == '`' || c == '(' || c == ')';
}

}  // namespace

std::string redact_url_credentials(std::string_view text) {
    std::string out;
    std::size_t at = 0;
    for (std::size_t mark = text.find("://"); mark != std::string_view::npos;
         mark = text.find("://", mark + 3)) {
        std::size_t scheme = mark;
        while (scheme > at && is_scheme_char(text[scheme - 1])) --scheme;
        if (scheme == mark) continue;
        const std::size_t start = mark + 3;
        std::size_t end = start;
        while (end < text.size() && !ends_authority(text[end])) ++end;
        const std::size_t user_end = text.substr(start, end - start).rfind('@');
        if (user_end == std::string_view::npos) continue;
        out.append(text.substr(at, start - at));
        out += kRedacted;
        at = start + user_end;
        mark = end > 3 ? end - 3 : 0;
    }
    out.append(text.substr(at));
    return out;
}

}  // namespace tarnwick
