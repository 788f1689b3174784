// Renderers of the `doctor` report. A finding is never an error: the report always prints.
#include "output/doctor_report.hpp"

#include <algorithm>

#include "core/json.hpp"
#include "core/text.hpp"

namespace tarnwick {

std::string render_doctor_text(const DoctorReport& report) {
    std::size_t item_width = 0, status_width = 0;
    for (const DoctorItem& i : report.items) {
        item_width = std::max(item_width, escape_non_printable(i.item).size());
        status_width = std::max(status_width, doctor_status_name(i.status).size());
    }
    std::string text;
    for (const DoctorItem& i : report.items) {
        std::string item = escape_non_printable(i.item);
        item.resize(item_width, ' ');
        std::string status(doctor_status_name(i.status));
        status.resize(status_width, ' ');
        text += item + "  " + status + "  " + escape_non_printable(i.detail) + "\n";
        if (i.fix) {
            text +=
                std::string(item_width + 2, ' ') + "fix: " + escape_non_printable(*i.fix) + "\n";
        }
        for (const DoctorFinding& f : i.findings) {
            text += std::string(item_width + 2, ' ') + "line " + std::to_string(f.line) + ": " +
                    std::string(severity_name(f.severity)) + ": " + escape_non_printable(f.message);
            // The item's own fix line already says it when they are the same.
            if (f.fix && f.fix != i.fix) text += " (fix: " + escape_non_printable(*f.fix) + ")";
            text += "\n";
        }
    }
    const int problems = doctor_problems(report);
    text += problems == 0
                ? std::string("No problems found.")
                : std::to_string(problems) + (problems == 1 ? " problem" : " problems") + " found.";
    return text;
}

std::string render_doctor_json(const DoctorReport& report) {
    Json items = Json::array();
    for (const DoctorItem& i : report.items) {
        Json entry = Json::object();
        entry["detail"] = i.detail;
        Json findings = Json::array();
        for (const DoctorFinding& f : i.findings) {
            findings.push_back({{"fix", f.fix ? Json(*f.fix) : Json(nullptr)},
                                {"line", f.line},
                                {"message", f.message},
                                {"severity", severity_name(f.severity)}});
        }
        entry["findings"] = std::move(findings);
        entry["fix"] = i.fix ? Json(*i.fix) : Json(nullptr);
        entry["item"] = i.item;
        entry["status"] = doctor_status_name(i.status);
        items.push_back(std::move(entry));
    }
    Json object = Json::object();
    object["items"] = std::move(items);
    object["problems"] = doctor_problems(report);
    return dump_compact(object);
}

}  // namespace tarnwick
