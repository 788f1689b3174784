// The records a successful parse produces: plain values, owned by the entry point and lent
// to the handler of the chosen command. Each command's own record lives beside its handler;
// no parser types here, so handlers depend on data only.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>
#include <variant>

#include "doctor/doctor_command.hpp"
#include "scaffold/check_command.hpp"
#include "scaffold/new_command.hpp"
#include "secrets/secrets_command.hpp"
#include "update/update_command.hpp"

namespace tarnwick {

enum class OutputMode { Auto, Json, Text };
enum class Shell { Bash, Elvish, Fish, Powershell, Zsh };

// Possible values, in the order help and completions show them. The parser turns a value into
// the enumerator at the same position, so both lists follow their enum's order.
inline constexpr std::array<std::string_view, 3> kOutputModeNames = {"auto", "json", "text"};
inline constexpr std::array<std::string_view, 5> kShellNames = {"bash", "elvish", "fish",
                                                                "powershell", "zsh"};

static_assert(kOutputModeNames[static_cast<std::size_t>(OutputMode::Auto)] == "auto" &&
              kOutputModeNames[static_cast<std::size_t>(OutputMode::Json)] == "json" &&
              kOutputModeNames[static_cast<std::size_t>(OutputMode::Text)] == "text" &&
              kOutputModeNames.size() == static_cast<std::size_t>(OutputMode::Text) + 1);
static_assert(kShellNames[static_cast<std::size_t>(Shell::Bash)] == "bash" &&
              kShellNames[static_cast<std::size_t>(Shell::Elvish)] == "elvish" &&
              kShellNames[static_cast<std::size_t>(Shell::Fish)] == "fish" &&
              kShellNames[static_cast<std::size_t>(Shell::Powershell)] == "powershell" &&
              kShellNames[static_cast<std::size_t>(Shell::Zsh)] == "zsh" &&
              kShellNames.size() == static_cast<std::size_t>(Shell::Zsh) + 1);

struct Schema {};

struct Completions {
    Shell shell = Shell::Bash;
};

using CliCommand = std::variant<New, Check, Secrets, Schema, Completions, Update, Doctor>;

struct Cli {
    OutputMode output = OutputMode::Auto;
    std::optional<CliCommand> command;
};

}  // namespace tarnwick
