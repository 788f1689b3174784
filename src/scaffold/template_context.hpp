// The values that fill a template's placeholders, and the switch that keeps or cuts the
// PyPI parts of the project. Owned by the caller of the renderer, which only reads it.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

struct TemplateContext {
    std::string name;
    std::string name_snake;
    std::string name_pascal;
    std::string description;
    std::string owner;
    std::string author;
    std::string author_fields;  // the author's members in pyproject.toml's `authors`
    std::string year;
    bool pypi = true;
    std::string tap;           // the Homebrew tap repository, OWNER/homebrew-NAME
    std::string template_set;  // the identity of the set being rendered, for the project's record
};

// The tap a project uses when none was named: OWNER/homebrew-tap.
std::string default_tap(std::string_view owner);

// The name Homebrew knows a tap repository by: OWNER/homebrew-NAME is OWNER/NAME.
std::string tap_short_name(std::string_view tap);

}  // namespace tarnwick
