// Formatting Rust files for comparison: each file goes through rustfmt's standard input, which
// resolves no modules (a `#[path = "/elsewhere"]` or `mod` names nothing it reads or writes),
// with the configuration pinned to an empty file of the scratch directory and the edition of
// the manifest beside the files. cargo is not involved, so neither its configuration nor its
// view of the workspaces around the scratch directory changes what a file becomes.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/result.hpp"
#include "process/cargo_toolchain.hpp"

namespace tarnwick {

// The toolchain whose rustfmt formats, and the pinned configuration file.
struct Formatting {
    CargoToolchain toolchain;
    std::string config_file;
};

// A Formatting whose configuration is an empty rustfmt.toml made in dir, with the toolchain
// resolved in the neutral directory. A failure to write the file is an io error.
Result<Formatting> pinned_formatting(const std::string& dir);

// The files of the list below dir that end in ".rs", each replaced by what rustfmt makes of
// it; a file rustfmt cannot format (or a missing rustfmt) leaves the file as it was.
Status format_rust_files(const std::string& dir, const std::vector<std::string>& files,
                         const Formatting& formatting);

// The edition under [package] in a Cargo.toml's text ("2024"), when it is four digits.
std::optional<std::string> manifest_edition(std::string_view cargo_toml);

}  // namespace tarnwick
