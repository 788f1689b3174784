// The records a successful parse produces: plain values, owned by the entry point and lent
// to the handler of the chosen command. Each command's record lives beside its handler, in a
// header of its own that holds nothing else; no parser types here, so handlers depend on data
// only.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string_view>
#include <type_traits>
#include <variant>

#include "completions/completions_record.hpp"
#include "doctor/doctor_record.hpp"
#include "scaffold/check_record.hpp"
#include "scaffold/new_record.hpp"
#include "schema/schema_record.hpp"
#include "secrets/secrets_record.hpp"
#include "update/update_record.hpp"

namespace tarnwick {

enum class OutputMode { Auto, Json, Text };

// The names of the output modes, in the enum's order (see kShellNames).
inline constexpr std::array<std::string_view, 3> kOutputModeNames = {"auto", "json", "text"};
static_assert(kOutputModeNames[static_cast<std::size_t>(OutputMode::Auto)] == "auto" &&
              kOutputModeNames[static_cast<std::size_t>(OutputMode::Json)] == "json" &&
              kOutputModeNames[static_cast<std::size_t>(OutputMode::Text)] == "text" &&
              kOutputModeNames.size() == static_cast<std::size_t>(OutputMode::Text) + 1);

constexpr std::span<const std::string_view> choices_of(OutputMode) {
    return kOutputModeNames;
}

// The one list of the commands' records. The command table declares each exactly once and the
// entry point has one handler for each; the compiler holds both to this list.
using CliCommand = std::variant<New, Check, Secrets, Schema, Completions, Update, Doctor>;

struct Cli {
    OutputMode output = OutputMode::Auto;
    std::optional<CliCommand> command;
};

template <class Record, class Variant>
inline constexpr bool kAlternativeOf = false;
template <class Record, class... Records>
inline constexpr bool kAlternativeOf<Record, std::variant<Records...>> =
    (std::is_same_v<Record, Records> || ...);

// Instantiated for each record with whether the dispatch handles it; the record is named in
// the error.
template <class Record, bool handled>
struct HandlerOf {
    static_assert(handled,
                  "a record of CliCommand has no case in the dispatch: add one taking this Record");
    static constexpr bool value = handled;
};

template <class Out, class Handle, class... Records>
constexpr bool handles_each(std::type_identity<std::variant<Records...>>) {
    return (HandlerOf<Records, std::is_invocable_r_v<Out, Handle&, const Records&>>::value && ...);
}

// Calls handle with the command's record and returns what it returns, as Out. A record that
// handle does not take is refused at compile time, naming the record.
template <class Out, class Handle>
Out dispatch(const CliCommand& command, Handle&& handle) {
    if constexpr (handles_each<Out, Handle>(std::type_identity<CliCommand>{})) {
        return std::visit([&](const auto& record) -> Out { return handle(record); }, command);
    } else {
        __builtin_unreachable();
    }
}

}  // namespace tarnwick
