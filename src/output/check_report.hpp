// The report of `check`: the name, its destination and whether that destination is free,
// as one text line or a compact JSON object.
#pragma once

#include <string>

namespace tarnwick {

struct CheckReport {
    std::string name;
    std::string destination;  // display form (valid UTF-8)
    bool available = false;
};

// "<destination>: available" or "<destination>: already exists", without a line feed.
std::string render_check_text(const CheckReport& report);

// {"available":..,"destination":..,"name":..}, without a line feed.
std::string render_check_json(const CheckReport& report);

}  // namespace tarnwick
