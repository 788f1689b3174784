// Reading the platform table: the markdown tables under "## Runner images" and "## Actions",
// by the names in their header rows, as the workflow tests read them.
#include "doctor/platform_table.hpp"

#include <map>

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
    for (const std::string_view line : lines(section)) {
        if (!trim(line).starts_with('|')) {
            if (in_table) break;  // only the first table
            continue;
        }
        in_table = true;
        if (seen++ != 1) rows.push_back(row_cells(line));  // the separator is left out
    }
    return rows;
}

namespace {

// Each body row as a map from the header's names to its cells; a missing cell is empty.
std::vector<std::map<std::string, std::string>> named_rows(std::string_view markdown,
                                                           std::string_view heading) {
    auto rows = markdown_table(markdown, heading);
    std::vector<std::map<std::string, std::string>> named;
    if (rows.empty()) return named;
    const std::vector<std::string> header = rows.front();
    for (std::size_t r = 1; r < rows.size(); ++r) {
        std::map<std::string, std::string> row;
        for (std::size_t c = 0; c < header.size(); ++c) {
            row[header[c]] = c < rows[r].size() ? rows[r][c] : "";
        }
        named.push_back(std::move(row));
    }
    return named;
}

bool is_full_date(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i != 4 && i != 7 && (text[i] < '0' || text[i] > '9')) return false;
    }
    return true;
}

void note_date(std::string& latest, const std::string& cell) {
    if (is_full_date(cell) && cell > latest) latest = cell;
}

}  // namespace

PlatformTable read_platform_table(std::string_view markdown) {
    PlatformTable table;
    for (const char* heading : {"Actions", "Release tools", "Other dated facts"}) {
        for (auto& row : named_rows(markdown, heading)) note_date(table.checked, row["checked"]);
    }
    for (auto& row : named_rows(markdown, "Runner images")) {
        note_date(table.checked, row["date"]);
        if (row["label"].empty()) continue;
        table.images.push_back({row["label"], row["status"], row["date"], row["source"]});
    }
    for (auto& row : named_rows(markdown, "Actions")) {
        if (row["action"].empty() || row["sha"].empty()) continue;
        table.actions.push_back({row["action"], row["tag"], row["sha"]});
    }
    return table;
}

const PlatformTable& platform_table() {
    static const PlatformTable table = read_platform_table(platform_markdown());
    return table;
}

}  // namespace tarnwick
