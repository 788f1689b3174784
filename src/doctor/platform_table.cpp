// Reading the platform table: the markdown tables under "## Runner images" and "## Actions",
// by column position (label, status, date, source; action, tag, sha).
#include "doctor/platform_table.hpp"

#include "core/text.hpp"

namespace tarnwick {
namespace {

std::vector<std::string> row_cells(std::string_view line) {
    line = trim(line);
    if (line.starts_with('|')) line.remove_prefix(1);
    if (line.ends_with('|')) line.remove_suffix(1);
    std::vector<std::string> cells;
    while (true) {
        const auto bar = line.find('|');
        std::string_view cell = trim(line.substr(0, bar));
        while (cell.starts_with('`')) cell.remove_prefix(1);
        while (cell.ends_with('`')) cell.remove_suffix(1);
        cells.emplace_back(cell);
        if (bar == std::string_view::npos) break;
        line.remove_prefix(bar + 1);
    }
    return cells;
}

}  // namespace

std::vector<std::vector<std::string>> markdown_table(std::string_view markdown,
                                                     std::string_view heading) {
    const std::string marker = "\n## " + std::string(heading) + "\n";
    auto at = markdown.find(marker);
    if (at == std::string_view::npos) return {};
    std::string_view section = markdown.substr(at + marker.size());
    section = section.substr(0, section.find("\n## "));

    std::vector<std::vector<std::string>> rows;
    bool in_table = false;
    int seen = 0;  // rows of the table so far, header and separator included
    while (!section.empty()) {
        const auto end = section.find('\n');
        const std::string_view line = section.substr(0, end);
        section.remove_prefix(end == std::string_view::npos ? section.size() : end + 1);
        if (!trim(line).starts_with('|')) {
            if (in_table) break;  // only the first table
            continue;
        }
        in_table = true;
        if (seen++ >= 2) rows.push_back(row_cells(line));
    }
    return rows;
}

PlatformTable read_platform_table(std::string_view markdown) {
    PlatformTable table;
    for (auto& row : markdown_table(markdown, "Runner images")) {
        if (row.size() < 4) continue;
        table.images.push_back({row[0], row[1], row[2], row[3]});
    }
    for (auto& row : markdown_table(markdown, "Actions")) {
        if (row.size() < 3) continue;
        table.actions.push_back({row[0], row[1], row[2]});
    }
    return table;
}

const PlatformTable& platform_table() {
    static const PlatformTable table = read_platform_table(platform_markdown());
    return table;
}

}  // namespace tarnwick
