// The report of `check` as one text line or a compact JSON object.
#pragma once

#include <string>

#include "scaffold/check_report.hpp"

namespace tarnwick {

// "<destination>: available" or "<destination>: already exists", without a line feed.
std::string render_check_text(const CheckReport& report);

// {"available":..,"destination":..,"name":..}, without a line feed.
std::string render_check_json(const CheckReport& report);

}  // namespace tarnwick
