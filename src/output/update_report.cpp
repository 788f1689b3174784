// Renderers of the `update` report.
#include "output/update_report.hpp"

#include "core/json.hpp"

namespace tarnwick {
namespace {

std::string count_of(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string short_commit(const std::string& commit) {
    return commit.substr(0, 12);
}

void list_lines(std::string& text, const char* title, const std::vector<std::string>& items) {
    if (items.empty()) return;
    text += "\n";
    text += title;
    for (const std::string& item : items) text += "\n  - " + item;
}

}  // namespace

std::string render_update_text(const UpdateReport& report) {
    const std::string target = "the templates of tarnwick " + report.to;
    const std::string origin =
        report.from ? "tarnwick " + *report.from : std::string("an earlier tarnwick");
    std::string text;
    if (report.current) {
        text = report.project + " already matches " + target + ": nothing to do";
    } else if (report.dry_run) {
        text = "Dry run: updating " + report.project + " from " + origin + " to " + target +
               " would change " + count_of(report.files.size(), "file", "files") + ", " +
               (report.conflicts.empty()
                    ? std::string("without conflicts")
                    : "with " + count_of(report.conflicts.size(), "conflict", "conflicts"));
        list_lines(text, "Would change:", report.files);
        list_lines(text, "Would conflict:", report.conflicts);
    } else {
        text = "Updated " + report.project + " from " + origin + " to " + target + ": " +
               count_of(report.files.size(), "file", "files") + " changed";
        if (report.commit) text += ", merge commit " + short_commit(*report.commit);
        list_lines(text, "Changed:", report.files);
    }
    for (const std::string& note : report.notes) text += "\nNote: " + note;
    return text;
}

std::string render_update_json(const UpdateReport& report) {
    auto nullable = [](const std::optional<std::string>& v) {
        return v ? Json(*v) : Json(nullptr);
    };
    Json object = Json::object();
    object["base"] = report.base;
    object["commit"] = nullable(report.commit);
    object["conflicts"] = report.conflicts;
    object["current"] = report.current;
    object["dry_run"] = report.dry_run;
    object["files"] = report.files;
    object["from"] = nullable(report.from);
    object["notes"] = report.notes;
    object["project"] = report.project;
    object["render"] = nullable(report.render);
    object["to"] = report.to;
    return dump_compact(object);
}

}  // namespace tarnwick
