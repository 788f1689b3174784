// The answers a project made before records was made with (name, owner, description, author,
// year, PyPI switch; its tap was the owner's and its licence MIT), read back from the files of
// its pristine render. The renderer pastes values verbatim into fixed template lines, so an
// unedited render gives them back by matching those lines.
#pragma once

#include <string_view>

#include "answers/answers.hpp"
#include "core/result.hpp"

namespace tarnwick {

// cargo_toml and license are the render's Cargo.toml and LICENSE; pypi says whether the render
// has a pyproject.toml. A missing or malformed line is an error naming the file and the line.
Result<Answers> answers_from_render(std::string_view cargo_toml, std::string_view license,
                                    bool pypi);

}  // namespace tarnwick
