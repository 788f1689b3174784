// Section cutting and placeholder replacement on arbitrary template text: no marker line
// survives, cutting only removes lines, and answers whose values are the placeholders
// themselves leave the text unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "answers/answers.hpp"
#include "answers/render.hpp"
#include "core/text.hpp"

namespace {
bool has_marker_line(std::string_view text) {
    while (!text.empty()) {
        auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        auto t = tarnwick::trim(line);
        if (t == "{{#pypi}}" || t == "{{^pypi}}" || t == "{{/pypi}}") return true;
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return false;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    tarnwick::Answers identity{.name = "{{name}}",
                               .owner = "{{owner}}",
                               .description = "{{description}}",
                               .author = "{{author}}",
                               .year = "{{year}}",
                               .pypi = true,
                               .tap = "{{tap}}"};
    tarnwick::Answers plain{.name = "n",
                            .owner = "o",
                            .description = "d",
                            .author = "a",
                            .year = "2026",
                            .pypi = false,
                            .tap = "o/homebrew-t"};
    std::string on = tarnwick::cut_sections(text, identity);
    std::string off = tarnwick::cut_sections(text, plain);
    if (on.size() > text.size() || off.size() > text.size()) std::abort();
    if (has_marker_line(on) || has_marker_line(off)) std::abort();
    if (!has_marker_line(text) && on != text) std::abort();

    // The derived values ({{pypi}}, {{name_snake}}, ...) are computed from the answers, so they
    // cannot stand for themselves.
    bool derived = text.find("{{pypi}}") != std::string_view::npos;
    for (const tarnwick::DerivedValue& value : tarnwick::derived_values()) {
        derived = derived || text.find(value.placeholder) != std::string_view::npos;
    }
    // Nor can an answer that is not text (a switch, a choice such as the licence).
    for (const tarnwick::AnswerRow& row : tarnwick::answer_rows()) {
        if (row.type == tarnwick::AnswerType::Switch || row.type == tarnwick::AnswerType::Choice) {
            derived = derived || text.find(row.placeholder) != std::string_view::npos;
        }
    }
    if (!derived && tarnwick::replace_placeholders(text, identity, "{{template_set}}") != text) {
        std::abort();
    }
    std::string replaced = tarnwick::replace_placeholders(text, plain, "0.2.0");
    if (replaced.find("{{year}}") != std::string::npos) std::abort();
    return 0;
}
