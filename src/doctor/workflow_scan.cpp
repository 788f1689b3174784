// A line-by-line reading of workflow YAML: enough for the two keys that name platform
// facts, without a YAML parser.
#include "doctor/workflow_scan.hpp"

#include <regex>

#include "core/text.hpp"

namespace tarnwick {
namespace {

const std::regex kRunsOn(R"(^\s*(?:-\s+)?(?:runs-on|os):\s*(.*?)\s*(?:#.*)?$)");
const std::regex kUses(R"(^\s*(?:-\s+)?uses:\s*['"]?([^@\s'"]+)@([^\s'"]+)['"]?(?:\s+#.*)?\s*$)");

std::string unquote(std::string value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// "OWNER/NAME" of "OWNER/NAME/sub/dir"; the table pins whole repositories.
std::string action_repository(const std::string& uses) {
    const auto first = uses.find('/');
    if (first == std::string::npos) return uses;
    return uses.substr(0, uses.find('/', first + 1));
}

const RunnerImage* find_image(const PlatformTable& table, const std::string& label) {
    for (const RunnerImage& image : table.images) {
        if (image.label == label) return &image;
    }
    return nullptr;
}

const ActionPin* find_action(const PlatformTable& table, const std::string& action) {
    for (const ActionPin& pin : table.actions) {
        if (pin.action == action) return &pin;
    }
    return nullptr;
}

}  // namespace

std::vector<std::string> stale_workflow_lines(std::string_view workflow,
                                              const PlatformTable& table) {
    std::vector<std::string> findings;
    int number = 0;
    while (!workflow.empty()) {
        const auto end = workflow.find('\n');
        const std::string line(workflow.substr(0, end));
        workflow.remove_prefix(end == std::string_view::npos ? workflow.size() : end + 1);
        ++number;
        const std::string where = "line " + std::to_string(number) + ": ";
        std::smatch m;
        if (std::regex_match(line, m, kRunsOn)) {
            const std::string label = unquote(m[1].str());
            const RunnerImage* image = find_image(table, label);
            if (image && image->status != "available") {
                findings.push_back(where + "runner image " + label + " is " + image->status + " (" +
                                   image->date + "; " + image->source + ")");
            }
        } else if (std::regex_match(line, m, kUses)) {
            const std::string action = action_repository(m[1].str());
            const std::string ref = m[2].str();
            const ActionPin* pin = find_action(table, action);
            if (pin && ref != pin->sha) {
                findings.push_back(where + m[1].str() + "@" + ref + " is not the pinned " +
                                   pin->tag + " (" + pin->sha.substr(0, 12) + ")");
            }
        }
    }
    return findings;
}

}  // namespace tarnwick
