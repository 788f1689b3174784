// The records a successful parse produces: plain values, owned by the entry point and lent
// to the handler of the chosen command. No parser types here, so handlers depend on data only.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace tarnwick {

inline constexpr std::string_view kProgramName = "tarnwick";
inline constexpr std::string_view kVersion = "0.1.6";

enum class OutputMode { Auto, Json, Text };
enum class Shell { Bash, Elvish, Fish, Powershell, Zsh };

// Possible values, in the order help and completions show them.
inline constexpr std::array<std::string_view, 3> kOutputModeNames = {"auto", "json", "text"};
inline constexpr std::array<std::string_view, 5> kShellNames = {"bash", "elvish", "fish",
                                                                "powershell", "zsh"};

struct New {
    std::string name;
    std::optional<std::string> description;
    std::string owner;
    std::optional<std::string> author;
    std::string into;  // any bytes
    bool no_git = false;
    bool github = false;
    bool no_pypi = false;
};

struct Check {
    std::string name;
    std::string into;
};

struct Secrets {
    std::string repo;
    std::string owner;
    std::optional<std::string> tap;
    bool pypi_token_stdin = false;
    bool dry_run = false;
    bool verify = false;
};

struct Schema {};

struct Completions {
    Shell shell = Shell::Bash;
};

using CliCommand = std::variant<New, Check, Secrets, Schema, Completions>;

struct Cli {
    OutputMode output = OutputMode::Auto;
    std::optional<CliCommand> command;
};

}  // namespace tarnwick
