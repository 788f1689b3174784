// Renderers of the `check` report; an occupied destination is a finding, not an error.
#include "output/check_report.hpp"

#include "core/json.hpp"
#include "core/text.hpp"

namespace tarnwick {

std::string render_check_text(const CheckReport& report) {
    return escape_non_printable(report.destination) +
           (report.available ? ": available" : ": already exists");
}

std::string render_check_json(const CheckReport& report) {
    Json object = Json::object();
    object["available"] = report.available;
    object["destination"] = report.destination;
    object["name"] = report.name;
    return dump_compact(object);
}

}  // namespace tarnwick
