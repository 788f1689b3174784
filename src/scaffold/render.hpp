// The template renderer: walks a template tree, cuts the pypi sections, replaces the
// placeholders and writes each file below a destination directory.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/result.hpp"
#include "scaffold/template_context.hpp"
#include "scaffold/template_tree.hpp"

namespace tarnwick {

// Renders the whole tree below destination (created on demand). Appends every output path
// to written in write order; on failure written holds what was written before it, and
// nothing is removed.
Status render_tree(const TemplateDir& root, const std::string& destination,
                   const TemplateContext& context, std::vector<std::string>& written);

// Drops the "{{#pypi}}" / "{{/pypi}}" marker lines, and the lines between them when pypi is
// off. A marker is a line whose trimmed text is exactly the marker.
std::string cut_sections(std::string_view text, bool pypi);

// Replaces the placeholders in one pass from left to right: an inserted value is never
// scanned again, so a value that holds a placeholder keeps it as typed.
std::string replace_placeholders(std::string_view text, const TemplateContext& context);

}  // namespace tarnwick
