// Formatting a rendered project and pinning its dependencies in Cargo.lock, shared by `new`
// and `update`. cargo runs where tarnwick was started, on the project's manifest: cargo reads
// .cargo/config.toml from its working directory upwards, and one planted above the project
// could alias `fmt` or wrap rustc with a program of its own. The toolchain is pinned the same
// way (cargo_toolchain.hpp).
#pragma once

#include <optional>
#include <string>

#include "scaffold/cargo_toolchain.hpp"

namespace tarnwick {

// `cargo fmt` on destination's manifest. Formatting is a courtesy: its outcome is not an error.
// With config_dir, rustfmt reads its configuration from there instead of searching upwards from
// the files, so a rustfmt.toml above a scratch directory does not change the result.
void format_project(const std::string& destination, const CargoToolchain& toolchain,
                    const std::optional<std::string>& config_dir = std::nullopt);

// `cargo generate-lockfile` on destination's manifest: from cargo's cache first, then from the
// network with cargo's retries off. True when Cargo.lock exists afterwards. A missing cargo or
// a failed run is no error: the caller decides what a project without a fresh lock means.
bool generate_lockfile(const std::string& destination, const CargoToolchain& toolchain);

// `cargo update --workspace` on destination's manifest, as generate_lockfile runs it: the lock
// follows a changed manifest while every other pinned version stays. True on success.
bool refresh_lockfile(const std::string& destination, const CargoToolchain& toolchain);

}  // namespace tarnwick
