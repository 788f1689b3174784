// The template renderer: walks a template tree, cuts the sections the answers' switches leave
// out, replaces the placeholders and writes each file the answers keep below a destination
// directory.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "answers/answers.hpp"
#include "answers/template_tree.hpp"
#include "core/result.hpp"

namespace tarnwick {

// Renders the whole tree below destination (created on demand), with the answers and the
// identity of the set ({{template_set}}, for the project's record). Appends every output path
// to written in write order; on failure written holds what was written before it, and
// nothing is removed.
Status render_tree(const TemplateDir& root, const std::string& destination, const Answers& answers,
                   std::string_view template_set, std::vector<std::string>& written);

// Drops the marker lines of the switches ("{{#pypi}}", "{{^pypi}}", "{{/pypi}}", ...) and the
// lines of each section the answers leave out. A marker is a line whose trimmed text is exactly
// the marker; a section has no depth: a second opening marker of the same switch replaces the
// first, and its first closing marker ends it.
std::string cut_sections(std::string_view text, const Answers& answers);

// Replaces the placeholders (the answers', the derived values' and {{template_set}}) in one
// pass from left to right: an inserted value is never scanned again, so a value that holds a
// placeholder keeps it as typed.
std::string replace_placeholders(std::string_view text, const Answers& answers,
                                 std::string_view template_set);

}  // namespace tarnwick
