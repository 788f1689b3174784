// The workflow scanner and the platform-table parser on any bytes: they end without a crash
// or unbounded work, every entry names a line of the input, and each finding the judge makes
// points at an entry's line. The same input is read as a platform table and judged by it.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "doctor/platform_table.hpp"
#include "doctor/workflow_judge.hpp"
#include "doctor/workflow_scan.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view in(reinterpret_cast<const char*>(data), size);
    long lines = 1;
    for (const char c : in) lines += c == '\n';
    const auto entries = tarnwick::scan_workflow(in);
    for (const auto& entry : entries) {
        if (entry.line < 1 || entry.line > lines) std::abort();
        if (entry.value.size() > size) std::abort();
    }
    for (const auto& finding : tarnwick::judge_workflow(entries, tarnwick::platform_table())) {
        if (finding.line < 1 || finding.line > lines || finding.message.empty()) std::abort();
    }
    const tarnwick::PlatformTable parsed = tarnwick::read_platform_table(in);
    for (const auto& image : parsed.images) {
        if (image.label.empty()) std::abort();
    }
    for (const auto& pin : parsed.actions) {
        if (pin.action.empty() || pin.sha.empty()) std::abort();
    }
    (void)tarnwick::judge_workflow(entries, parsed);
    return 0;
}
