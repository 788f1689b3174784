// Judging a GitHub Actions workflow against the platform table: runner images that are
// deprecated or retired, and pinned actions whose pin is not the table's commit. Actions that
// the table does not list are the project's own choice and are not judged.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "doctor/platform_table.hpp"

namespace tarnwick {

// One line per finding, in file order: "line 104: runner image macos-14 is retired
// (2026-11-02; actions/runner-images#13518)" or "line 18: actions/checkout@v4 is not the
// pinned v7.0.1 (3d3c42e5aac5)". Runner labels are read from `runs-on:` and from matrix
// `os:` keys; a value holding an expression is not a label.
std::vector<std::string> stale_workflow_lines(std::string_view workflow,
                                              const PlatformTable& table);

}  // namespace tarnwick
