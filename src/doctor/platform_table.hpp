// The dated platform table of docs/platform.md (runner images and action pins), compiled into
// the program as that file's text and read from it here, so the table has one source: editing
// a row changes both the workflow tests and what `doctor` calls stale.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

struct RunnerImage {
    std::string label;   // "macos-14"
    std::string status;  // "available", "deprecated" or "retired"
    std::string date;
    std::string source;
};

struct ActionPin {
    std::string action;  // "actions/checkout"
    std::string tag;     // "v7.0.1"
    std::string sha;     // the full commit the workflows pin
};

struct PlatformTable {
    std::vector<RunnerImage> images;
    std::vector<ActionPin> actions;
    std::string checked;  // the latest YYYY-MM-DD date of the tables; empty when none
};

// The text of docs/platform.md as it was when this program was built.
std::string_view platform_markdown();

// The rows of the first table under the level-2 heading `heading`, cells trimmed and
// stripped of backquotes: the header row first, the separator row left out.
std::vector<std::vector<std::string>> markdown_table(std::string_view markdown,
                                                     std::string_view heading);

// The "Runner images" and "Actions" tables of the given markdown, read by their header names
// (label, status, date, source; action, tag, sha); rows without a label, action or sha are
// left out. `checked` is the latest full date in the images' `date` column and in the
// `checked` columns of every table.
PlatformTable read_platform_table(std::string_view markdown);

// read_platform_table of the built-in text.
const PlatformTable& platform_table();

}  // namespace tarnwick
