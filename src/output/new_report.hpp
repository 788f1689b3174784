// The report of `new` as text or compact JSON.
#pragma once

#include <string>

#include "scaffold/new_report.hpp"

namespace tarnwick {

// The lines of the text report joined with "\n", without a final line feed.
std::string render_new_text(const NewReport& report);

// One compact JSON object, keys in byte order, without a final line feed.
std::string render_new_json(const NewReport& report);

}  // namespace tarnwick
