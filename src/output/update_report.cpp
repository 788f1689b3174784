// Renderers of the `update` report.
#include "output/update_report.hpp"

#include "answers/answers.hpp"
#include "core/json.hpp"
#include "core/text.hpp"

namespace tarnwick {
namespace {

std::string count_of(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string shown(std::string_view text) {
    return escape_non_printable(text);
}

void list_lines(std::string& text, const char* title, const std::vector<std::string>& items) {
    if (items.empty()) return;
    text += "\n";
    text += title;
    for (const std::string& item : items) text += "\n  - " + shown(item);
}

void conflict_lines(std::string& text, const std::string& title, const UpdateReport& report) {
    if (report.conflicts.empty()) return;
    text += "\n";
    text += title;
    for (const UpdateConflict& c : report.conflicts) {
        text += "\n  - " + shown(c.path) + " (" + c.kind + ")";
    }
}

std::string answers_line(const Answers& a) {
    std::string line = "Answers";
    const char* separator = ": ";
    for (const AnswerRow& row : answer_rows()) {
        const std::string value = row.text(a);
        line += separator + std::string(row.label) + " ";
        separator = ", ";
        switch (row.type) {
            case AnswerType::Text:
                line += tarnwick::quoted(value);
                break;
            case AnswerType::Switch:
                line += value == "true" ? "on" : "off";
                break;
            default:
                line += shown(value);
        }
    }
    return line;
}

}  // namespace

std::string render_update_text(const UpdateReport& report) {
    const std::string project = shown(report.project);
    const std::string between = "from tarnwick " + report.from + " to " + report.to;
    std::string text;
    if (report.current) {
        text = project + " already matches the templates of tarnwick " + report.to +
               " with its answers: nothing to do";
    } else if (report.dry_run) {
        text = "Dry run: updating " + project + " " + between + " would change " +
               count_of(report.files.size() + report.conflicts.size(), "file", "files") + ", " +
               (report.conflicts.empty()
                    ? std::string("without conflicts")
                    : "with " + count_of(report.conflicts.size(), "conflict", "conflicts"));
        list_lines(text, "Would merge cleanly:", report.files);
        conflict_lines(text, "Would conflict:", report);
    } else if (!report.conflicts.empty()) {
        text = "The update of " + project + " " + between + " stopped on " +
               count_of(report.conflicts.size(), "conflict", "conflicts") +
               "; the merge is left in progress on " + shown(report.branch);
        conflict_lines(
            text, "Conflicts (markers: <<<<<<< your branch, >>>>>>> tarnwick " + report.to + "):",
            report);
        list_lines(text, "Merged cleanly:", report.files);
        text += "\nTo finish: edit the conflicted files, `git add` them, then `git commit`";
        text += "\nTo abort: `git merge --abort` returns to your commit";
    } else if (report.staged) {
        text = "Merged " + project + " " + between + " into the index without committing: " +
               count_of(report.files.size(), "file", "files") + " changed";
        list_lines(text, "Changed:", report.files);
        text +=
            "\nTo review: `git diff --cached`; to finish: `git commit`; to drop it: `git "
            "merge --abort`";
    } else {
        text = "Updated " + project + " " + between + ": " +
               count_of(report.files.size(), "file", "files") + " changed";
        if (report.commit) text += ", commit " + report.commit->substr(0, 12);
        list_lines(text, "Changed:", report.files);
        text += "\nTo undo: `git reset --hard ORIG_HEAD`";
    }
    if (!report.current) text.append("\n").append(answers_line(report.answers));
    if (report.commit || report.staged) text += "\nNext: `make check`";
    for (const std::string& note : report.notes) text += "\nNote: " + shown(note);
    return text;
}

std::string render_update_json(const UpdateReport& report) {
    auto nullable = [](const std::optional<std::string>& v) {
        return v ? Json(*v) : Json(nullptr);
    };
    Json answers = Json::object();
    for (const AnswerRow& row : answer_rows()) {
        const std::string value = row.text(report.answers);
        answers[std::string(row.key)] =
            row.type == AnswerType::Switch ? Json(value == "true") : Json(value);
    }
    Json conflicts = Json::array();
    for (const UpdateConflict& c : report.conflicts) {
        Json item = Json::object();
        item["kind"] = c.kind;
        item["path"] = c.path;
        conflicts.push_back(item);
    }
    Json object = Json::object();
    object["answers"] = answers;
    object["base"] = report.base;
    object["commit"] = nullable(report.commit);
    object["conflicts"] = conflicts;
    object["current"] = report.current;
    object["dry_run"] = report.dry_run;
    object["files"] = report.files;
    object["from"] = report.from;
    object["notes"] = report.notes;
    object["project"] = report.project;
    object["staged"] = report.staged;
    object["to"] = report.to;
    return dump_compact(object);
}

}  // namespace tarnwick
