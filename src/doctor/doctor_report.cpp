#include "doctor/doctor_report.hpp"

#include <algorithm>

namespace tarnwick {

int doctor_problems(const DoctorReport& report) {
    return static_cast<int>(
        std::count_if(report.items.begin(), report.items.end(),
                      [](const DoctorItem& i) { return is_doctor_problem(i.status); }));
}

}  // namespace tarnwick
