// The values that fill a template's placeholders, and the switch that keeps or cuts the
// PyPI parts of the project. Owned by the caller of the renderer, which only reads it.
#pragma once

#include <string>

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
};

}  // namespace tarnwick
