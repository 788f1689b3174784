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
    while (!value.empty()) {
        const auto lf = value.find('\n');
        const std::string_view line = trim(value.substr(0, lf));
        add_secret(line);
        if (lf == std::string_view::npos) break;
        value.remove_prefix(lf + 1);
    }
}

void clear_secrets() {
    secrets().clear();
}

// One pass from left to right, so that the replacement text itself is never searched again.
std::string redact(std::string_view text) {
    const auto& values = secrets();
    if (values.empty()) return std::string(text);
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto hit = std::find_if(values.begin(), values.end(), [&](const std::string& v) {
            return text.compare(i, v.size(), v) == 0;
        });
        if (hit == values.end()) {
            out += text[i++];
        } else {
            out += kRedacted;
            i += hit->size();
        }
    }
    return out;
}

}  // namespace tarnwick
