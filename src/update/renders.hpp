// The files `update` compares and merges, laid out in its scratch directory: a template set
// rendered with answers and its Rust files formatted as `new` formats them, and the project's files
// at a commit, checked out through a private index so that neither the repository's index nor its
// object store is touched.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "answers/answers.hpp"
#include "answers/template_tree.hpp"
#include "core/result.hpp"
#include "update/rust_format.hpp"

namespace tarnwick {

// Renders set with answers into dir and formats it; the paths written, relative and sorted.
Result<std::vector<std::string>> render_formatted(const TemplateSet& set, const Answers& answers,
                                                  const std::string& dir,
                                                  const Formatting& formatting);

// The bytes of a file, at most 16 MiB; nullopt when there is no file.
Result<std::optional<std::string>> read_optional_file(const std::string& path);

}  // namespace tarnwick
