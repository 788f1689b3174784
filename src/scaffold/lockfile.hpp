// Formatting a rendered project and pinning its dependencies in Cargo.lock, shared by `new`
// and `update`. cargo runs where tarnwick was started, on the project's manifest: cargo reads
// .cargo/config.toml from its working directory upwards, and one planted above the project
// could alias `fmt` or wrap rustc with a program of its own. The toolchain is pinned the same
// way (cargo_toolchain.hpp).
#pragma once

#include <string>

#include "scaffold/cargo_toolchain.hpp"

namespace tarnwick {

// `cargo fmt` on destination's manifest. Formatting is a courtesy: its outcome is not an error.
void format_project(const std::string& destination, const CargoToolchain& toolchain);

// `cargo generate-lockfile` on destination's manifest: from cargo's cache first, then from the
// network with cargo's retries off. True when Cargo.lock exists afterwards. A missing cargo or
// a failed run is no error: the caller decides what a project without a fresh lock means.
bool generate_lockfile(const std::string& destination, const CargoToolchain& toolchain);

}  // namespace tarnwick
