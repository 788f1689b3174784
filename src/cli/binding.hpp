// The building blocks of a declaration: positional<&Check::name>(...), option<&New::into>(...)
// and flag<&New::no_git>(...) bind the argument to the record's field, whose type the compiler
// checks against the kind of argument; make_record<New> puts a command's record in. A field the
// record inherits (the answers of GivenAnswers) names its record too: option<&New::owner, New>.
// An argument that fills an enum, or an optional enum, takes its choices from the enum's type:
// the names that choices_of(Enum), declared beside the enum, gives.
#pragma once

#include <algorithm>
#include <concepts>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>

#include "cli/declaration.hpp"
#include "cli/records.hpp"

namespace tarnwick {
namespace declaration {

template <class T>
struct Member;
template <class Record, class Field>
struct Member<Field Record::*> {
    using record = Record;
    using field = Field;
};

template <auto field>
using FieldOf = typename Member<decltype(field)>::field;

template <auto field>
using RecordOf = typename Member<decltype(field)>::record;

// The enum of an optional enum, or the type itself.
template <class Field>
struct Unwrapped {
    using type = Field;
};
template <class Field>
struct Unwrapped<std::optional<Field>> {
    using type = Field;
};
template <class Field>
using EnumOf = typename Unwrapped<Field>::type;

template <class Field>
inline constexpr bool kTextField =
    std::is_same_v<Field, std::string> || std::is_same_v<Field, std::optional<std::string>>;

// An enum whose names a command line may give: choices_of(Enum) lists them in the enum's
// order, one per enumerator.
template <class Enum>
concept NamedEnum = std::is_enum_v<Enum> && requires(Enum e) {
    { choices_of(e) } -> std::convertible_to<std::span<const std::string_view>>;
};

template <class>
inline constexpr bool kNever = false;

// value is taken by value to be moved into a text field; the other kinds only read it.
template <auto field, class Record>
void assign(Cli& cli, const ArgSpec& arg,
            std::string value) {  // NOLINT(performance-unnecessary-value-param)
    using Field = FieldOf<field>;
    Record* record = nullptr;
    if constexpr (!std::is_base_of_v<RecordOf<field>, Record>) {
        static_assert(kNever<Record>, "the field is not a member of the record named with it");
        return;
    } else if constexpr (std::is_same_v<Record, Cli>) {
        record = &cli;
    } else if constexpr (kAlternativeOf<Record, CliCommand>) {
        record = &std::get<Record>(*cli.command);
    } else {
        static_assert(kNever<Record>,
                      "the argument is bound to a field of a record that CliCommand "
                      "(cli/records.hpp) does not list; a field the record inherits names its "
                      "record: option<&New::owner, New>");
        return;
    }
    if constexpr (std::is_same_v<Field, bool>) {
        record->*field = true;
    } else if constexpr (std::is_enum_v<EnumOf<Field>>) {
        // The parser has already refused a value that is not among the choices.
        const auto at = std::find(arg.choices.begin(), arg.choices.end(), value);
        record->*field = static_cast<EnumOf<Field>>(at - arg.choices.begin());
    } else {
        record->*field = std::move(value);
    }
}

// An argument that takes a value, bound to field. An enum without its names stops here, with
// the one error that says what is missing.
template <auto field, class Record>
constexpr ArgSpec valued(ArgSpec spec) {
    using Enum = EnumOf<FieldOf<field>>;
    if constexpr (std::is_enum_v<Enum> && !NamedEnum<Enum>) {
        static_assert(kNever<Enum>,
                      "an argument that fills an enum needs the enum's names: declare "
                      "`constexpr std::span<const std::string_view> choices_of(Enum)` beside "
                      "the enum, one name per enumerator, in the enum's order");
        return spec;
    } else {
        static_assert(kTextField<FieldOf<field>> || std::is_enum_v<Enum>,
                      "an argument with a value fills a text, an optional text, an enum or an "
                      "optional enum");
        spec.assign = assign<field, Record>;
        if constexpr (std::is_enum_v<Enum>) {
            spec.value = ValueKind::Choices;
            spec.choices = choices_of(Enum{});
        }
        return spec;
    }
}

}  // namespace declaration

// A positional with a default (by_default) or bound to an optional text may be left out.
template <auto field, class Record = declaration::RecordOf<field>>
constexpr ArgSpec positional(std::string_view id, std::string_view value_name,
                             std::string_view help, std::string_view contract_help = {}) {
    ArgSpec spec{.id = id,
                 .kind = ArgKind::Positional,
                 .value_name = value_name,
                 .help = help,
                 .contract_help = contract_help};
    spec.may_be_absent = std::is_same_v<declaration::FieldOf<field>, std::optional<std::string>>;
    return declaration::valued<field, Record>(spec);
}

template <auto field, class Record = declaration::RecordOf<field>>
constexpr ArgSpec option(std::string_view id, std::string_view value_name, std::string_view help,
                         std::string_view contract_help = {}) {
    return declaration::valued<field, Record>({.id = id,
                                               .kind = ArgKind::Option,
                                               .value_name = value_name,
                                               .help = help,
                                               .contract_help = contract_help});
}

template <auto field, class Record = declaration::RecordOf<field>>
constexpr ArgSpec flag(std::string_view id, std::string_view help,
                       std::string_view contract_help = {}) {
    static_assert(std::is_same_v<declaration::FieldOf<field>, bool>, "a flag sets a bool");
    return {.id = id,
            .kind = ArgKind::Flag,
            .help = help,
            .contract_help = contract_help,
            .assign = declaration::assign<field, Record>,
            .value = ValueKind::None};
}

template <class Record>
void fill_record(Cli& cli) {
    cli.command.emplace(std::in_place_type<Record>);
}

template <class Record, class... Records>
consteval std::size_t record_index(std::type_identity<std::variant<Records...>>) {
    constexpr bool same[] = {std::is_same_v<Record, Records>...};
    std::size_t i = 0;
    while (!same[i]) ++i;
    return i;
}

template <class Record>
consteval RecordMaker record_maker() {
    static_assert(kAlternativeOf<Record, CliCommand>,
                  "make_record names a record that CliCommand (cli/records.hpp) does not list");
    if constexpr (kAlternativeOf<Record, CliCommand>) {
        return {&fill_record<Record>, record_index<Record>(std::type_identity<CliCommand>{})};
    } else {
        return {};
    }
}

template <class Record>
inline constexpr RecordMaker make_record = record_maker<Record>();

}  // namespace tarnwick
