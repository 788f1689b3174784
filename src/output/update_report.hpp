// The report of `update` as text or compact JSON.
#pragma once

#include <string>

#include "update/update_report.hpp"

namespace tarnwick {

// The lines of the text report joined with "\n", without a final line feed. Values that came
// from files or the user are shown with control characters escaped.
std::string render_update_text(const UpdateReport& report);

// One compact JSON object, keys in byte order, without a final line feed.
std::string render_update_json(const UpdateReport& report);

}  // namespace tarnwick
