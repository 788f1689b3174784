// Renderers of the `new` report. The JSON form leaves out name and owner: they are inputs
// the caller already knows.
#include "output/new_report.hpp"

#include "core/json.hpp"
#include "core/text.hpp"

namespace tarnwick {
namespace {

constexpr std::string_view kGithubHost = "github.com";

}  // namespace

// A terminal shows the values as text: a control character in --into is written escaped,
// never sent to the terminal.
std::string render_new_text(const NewReport& report) {
    std::string text = "Scaffolded " + escape_non_printable(report.created) + " (" +
                       std::to_string(report.files.size()) + " files" +
                       (report.committed ? ", committed" : "") + ")";
    if (report.repo) {
        text += "\nCreated and pushed " + std::string(kGithubHost) + "/" +
                escape_non_printable(*report.repo);
    }
    text += "\nNext:";
    for (const std::string& command : report.next) text += "\n  - " + escape_non_printable(command);
    return text;
}

std::string render_new_json(const NewReport& report) {
    Json object = Json::object();
    object["committed"] = report.committed;
    object["created"] = report.created;
    object["files"] = report.files;
    object["next"] = report.next;
    object["repo"] = report.repo ? Json(*report.repo) : Json(nullptr);
    return dump_compact(object);
}

}  // namespace tarnwick
