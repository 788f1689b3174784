// The record of `completions`: the shell to write a script for.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

namespace tarnwick {

enum class Shell { Bash, Elvish, Fish, Powershell, Zsh };

// The names a command line gives the shells, in the enum's order: the parser turns a name into
// the enumerator at its position, and help and completions offer them in this order.
inline constexpr std::array<std::string_view, 5> kShellNames = {"bash", "elvish", "fish",
                                                                "powershell", "zsh"};
static_assert(kShellNames[static_cast<std::size_t>(Shell::Bash)] == "bash" &&
              kShellNames[static_cast<std::size_t>(Shell::Elvish)] == "elvish" &&
              kShellNames[static_cast<std::size_t>(Shell::Fish)] == "fish" &&
              kShellNames[static_cast<std::size_t>(Shell::Powershell)] == "powershell" &&
              kShellNames[static_cast<std::size_t>(Shell::Zsh)] == "zsh" &&
              kShellNames.size() == static_cast<std::size_t>(Shell::Zsh) + 1);

// What an argument that fills a Shell accepts.
constexpr std::span<const std::string_view> choices_of(Shell) {
    return kShellNames;
}

struct Completions {
    Shell shell = Shell::Bash;
};

}  // namespace tarnwick
