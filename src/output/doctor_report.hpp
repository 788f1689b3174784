// The report of `doctor` as aligned text lines or one compact JSON object.
#pragma once

#include <string>

#include "doctor/doctor_report.hpp"

namespace tarnwick {

// One line per item ("ITEM  STATUS  DETAIL"), a "fix:" line under each item that has one,
// one line per finding under it ("line 104: error: MESSAGE (fix: FIX)", the fix left out when
// it is the item's), and a closing count;
// without a final line feed.
std::string render_doctor_text(const DoctorReport& report);

// {"items":[{"detail":..,"findings":[{"fix":..|null,"line":N,"message":..,"severity":..},..],
// "fix":..|null,"item":..,"status":..},..],"problems":N}, without a line feed.
std::string render_doctor_json(const DoctorReport& report);

}  // namespace tarnwick
