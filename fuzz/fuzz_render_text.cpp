// Section cutting and placeholder replacement on arbitrary template text: no marker line
// survives, switching pypi off only removes lines, and a context whose values are the
// placeholders themselves leaves the text unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/text.hpp"
#include "scaffold/render.hpp"

namespace {
bool has_marker_line(std::string_view text) {
    while (!text.empty()) {
        auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        auto t = tarnwick::trim(line);
        if (t == "{{#pypi}}" || t == "{{/pypi}}") return true;
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return false;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string on = tarnwick::cut_sections(text, true);
    std::string off = tarnwick::cut_sections(text, false);
    if (on.size() > text.size() || off.size() > on.size()) std::abort();
    if (has_marker_line(on) || has_marker_line(off)) std::abort();
    if (!has_marker_line(text) && on != text) std::abort();

    tarnwick::TemplateContext identity{.name = "{{name}}",
                                       .name_snake = "{{name_snake}}",
                                       .name_pascal = "{{name_pascal}}",
                                       .description = "{{description}}",
                                       .owner = "{{owner}}",
                                       .author = "{{author}}",
                                       .author_fields = "{{author_fields}}",
                                       .year = "{{year}}",
                                       .pypi = true,
                                       .tap = "{{tap}}",
                                       .template_set = "{{template_set}}"};
    // {{pypi}} and {{tap_short}} are derived from other answers, so they cannot stand for
    // themselves.
    const bool derived = text.find("{{pypi}}") != std::string_view::npos ||
                         text.find("{{tap_short}}") != std::string_view::npos;
    if (!derived && tarnwick::replace_placeholders(text, identity) != text) std::abort();
    tarnwick::TemplateContext plain{.name = "n",
                                    .name_snake = "n_s",
                                    .name_pascal = "NP",
                                    .description = "d",
                                    .owner = "o",
                                    .author = "a",
                                    .author_fields = "af",
                                    .year = "2026",
                                    .pypi = false,
                                    .tap = "o/homebrew-t",
                                    .template_set = "0.2.0"};
    std::string replaced = tarnwick::replace_placeholders(text, plain);
    if (replaced.find("{{year}}") != std::string::npos) std::abort();
    return 0;
}
