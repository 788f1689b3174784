// The files `update` compares and merges, laid out in its scratch directory: a template set
// rendered with answers and formatted as `new` formats, and the project's files at a commit,
// checked out through a private index so that neither the repository's index nor its object
// store is touched.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/result.hpp"
#include "scaffold/cargo_toolchain.hpp"
#include "scaffold/template_context.hpp"
#include "scaffold/template_tree.hpp"

namespace tarnwick {

// How rendered Rust files are formatted: the toolchain `new` uses, with rustfmt's
// configuration fixed to an empty one so that nothing around the scratch directory counts.
struct Formatting {
    CargoToolchain toolchain;
    std::string config_dir;
};

// Renders set with answers into dir and formats it; the paths written, relative and sorted.
Result<std::vector<std::string>> render_formatted(const TemplateSet& set,
                                                  const TemplateContext& answers,
                                                  const std::string& dir,
                                                  const Formatting& formatting);

// The bytes of a file, at most 16 MiB; nullopt when there is no file.
Result<std::optional<std::string>> read_optional_file(const std::string& path);

// The relative paths of the regular files below dir, sorted.
std::vector<std::string> files_below(const std::string& dir);

}  // namespace tarnwick
