// Text and JSON renderings of the secrets and verify reports.
#include "output/secrets_report.hpp"

#include "core/json.hpp"
#include "core/text.hpp"

namespace tarnwick {
namespace {

std::string secrets_text(const SecretsReport& report) {
    std::string out = "Secrets on " + escape_non_printable(report.repo);
    if (report.dry_run) out += " (dry run)";
    if (!report.set.empty()) {
        out += report.dry_run ? "\n  would set: " : "\n  set: ";
        out += join(report.set, ", ");
    }
    for (const auto& skip : report.skipped) {
        out += "\n  skipped " + skip.secret + ": " + skip.reason;
    }
    for (const auto& note : report.notes) out += "\n  note: " + escape_non_printable(note);
    return out;
}

std::string secrets_json(const SecretsReport& report) {
    OrderedJson skipped = OrderedJson::array();
    for (const auto& skip : report.skipped) {
        OrderedJson entry = OrderedJson::object();
        entry["secret"] = skip.secret;
        entry["reason"] = skip.reason;
        skipped.push_back(std::move(entry));
    }
    OrderedJson doc = OrderedJson::object();
    doc["repo"] = report.repo;
    doc["dry_run"] = report.dry_run;
    doc["set"] = report.set;
    doc["skipped"] = std::move(skipped);
    doc["notes"] = report.notes;
    return dump_compact(doc);
}

std::string verify_text(const VerifyReport& report) {
    std::string out = "Release secrets on " + escape_non_printable(report.repo);
    if (!report.present.empty()) out += "\n  set: " + join(report.present, ", ");
    if (!report.missing.empty()) out += "\n  missing: " + join(report.missing, ", ");
    return out;
}

std::string verify_json(const VerifyReport& report) {
    OrderedJson doc = OrderedJson::object();
    doc["repo"] = report.repo;
    doc["present"] = report.present;
    doc["missing"] = report.missing;
    return dump_compact(doc);
}

}  // namespace

std::string render_secrets_report(const SecretsReport& report, OutputFormat format) {
    return format == OutputFormat::Json ? secrets_json(report) : secrets_text(report);
}

std::string render_verify_report(const VerifyReport& report, OutputFormat format) {
    return format == OutputFormat::Json ? verify_json(report) : verify_text(report);
}

}  // namespace tarnwick
