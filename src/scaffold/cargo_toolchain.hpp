// Which cargo `new` runs in the project it made. rustup picks a toolchain by looking for a
// toolchain file from the working directory upwards, and the project directory sits wherever
// --into says; so the toolchain is resolved where tarnwick was started and pinned for the
// children through RUSTUP_TOOLCHAIN, which rustup ranks above any file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

struct CargoToolchain {
    // false when rustup is in use but could not name the toolchain: cargo is then not run.
    bool usable = true;
    // NAME=value entries for every cargo run: the pin, or nothing for a cargo without rustup.
    std::vector<std::string> env;
};

// Asks `rustup show active-toolchain` in the current directory: rustup from PATH, else the
// rustup that the cargo on PATH is a link to. Without either, cargo is a plain one.
CargoToolchain resolve_cargo_toolchain();

// The toolchain name in the first line of `rustup show active-toolchain`
// ("stable-x86_64-unknown-linux-gnu (default)"), or nothing when there is none.
std::optional<std::string> active_toolchain_name(std::string_view output);

}  // namespace tarnwick
