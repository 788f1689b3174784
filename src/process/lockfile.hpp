// Formatting a new project and pinning its dependencies in Cargo.lock (`new`; `update` pins
// too). cargo runs in the neutral directory (process/runner.hpp), on the project's manifest:
// cargo reads .cargo/config.toml from its working directory upwards, and one planted above the
// project or above the user's directory could alias `fmt` or wrap rustc with a program of its
// own. Only the user's own configuration ($CARGO_HOME) and the administrator's (/) count. The
// toolchain is pinned the same way (cargo_toolchain.hpp).
#pragma once

#include <string>

#include "process/cargo_toolchain.hpp"

namespace tarnwick {

// `cargo fmt` on destination's manifest. Formatting is a courtesy: its outcome is not an error.
// rustfmt follows the project's modules and reads a rustfmt.toml in or above it, as every
// later `cargo fmt` in the project will: the files are tarnwick's own, just written.
void format_project(const std::string& destination, const CargoToolchain& toolchain);

// `cargo generate-lockfile` on destination's manifest: from cargo's cache first, then from the
// network with cargo's retries off. True when Cargo.lock exists afterwards. A missing cargo or
// a failed run is no error: the caller decides what a project without a fresh lock means.
bool generate_lockfile(const std::string& destination, const CargoToolchain& toolchain);

// `cargo update --workspace` on destination's manifest, as generate_lockfile runs it: the lock
// follows a changed manifest while every other pinned version stays. True on success.
bool refresh_lockfile(const std::string& destination, const CargoToolchain& toolchain);

}  // namespace tarnwick
