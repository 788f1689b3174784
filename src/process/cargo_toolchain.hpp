// Which cargo tarnwick runs. rustup picks a toolchain by looking for a toolchain file from the
// working directory upwards, and a project directory sits anywhere; so the toolchain is
// resolved once, where tarnwick was started (`new`) or in the neutral directory (`update` and
// `doctor`, which must read nothing of the project, whose toolchain file could name a toolchain
// path of its own), and pinned for the children through RUSTUP_TOOLCHAIN, which rustup ranks
// above any file.
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

// Asks `rustup show active-toolchain` in dir (absent: the current directory): rustup from PATH,
// else the rustup that the cargo on PATH is a link to. Without either, cargo is a plain one.
CargoToolchain resolve_cargo_toolchain(const std::optional<std::string>& dir = std::nullopt);

// The toolchain name in the first line of `rustup show active-toolchain`
// ("stable-x86_64-unknown-linux-gnu (default)"), or nothing when there is none.
std::optional<std::string> active_toolchain_name(std::string_view output);

}  // namespace tarnwick
