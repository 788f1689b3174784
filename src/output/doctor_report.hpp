// The report of `doctor`: one entry per item checked, each with its status, what was found
// and the command that fixes it, as aligned text lines or one compact JSON object.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

struct DoctorItem {
    std::string item;    // "git", "gh_login", ".github/workflows/ci.yml", ...
    std::string status;  // "ok", "missing", "too_old", ... ("ok" and "skipped" are no problem)
    std::string detail;
    std::optional<std::string> fix;  // a command or step; absent when nothing is to be done
};

struct DoctorReport {
    std::vector<DoctorItem> items;
};

// Items whose status is neither "ok" nor "skipped".
int doctor_problems(const DoctorReport& report);

// One line per item ("ITEM  STATUS  DETAIL"), a "fix:" line under each item that has one,
// and a closing count; without a final line feed.
std::string render_doctor_text(const DoctorReport& report);

// {"items":[{"detail":..,"fix":..|null,"item":..,"status":..},..],"problems":N}, without a
// line feed.
std::string render_doctor_json(const DoctorReport& report);

}  // namespace tarnwick
