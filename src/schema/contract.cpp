// The contract that `tarnwick schema` prints. The commands, their arguments and the global
// ones are read from the command tree's declarations, the error kinds from the kind table of
// core/error; what is left (the format's version, the output rule) is written here. Json keeps
// members in byte order at every level, which is the order the document is printed in.
#include "schema/contract.hpp"

#include <string>

#include "core/error.hpp"
#include "core/product.hpp"

namespace tarnwick {
namespace {

Json strings(std::span<const std::string_view> texts) {
    Json array = Json::array();
    for (std::string_view text : texts) array.push_back(std::string(text));
    return array;
}

std::string arg_type(const ArgSpec& arg) {
    if (arg.kind == ArgKind::Flag) return "boolean";
    if (arg.value == ValueKind::Directory) return "path";
    return "string";
}

// Positionals are named without dashes, options with their long form. A positional without a
// default is required; a global argument carries no "required".
Json arg_contract(const ArgSpec& arg, bool global) {
    Json out = {{"name", arg.positional() ? std::string(arg.id) : "--" + std::string(arg.id)},
                {"type", arg_type(arg)},
                {"description", arg.contract_text()}};
    if (!global) out["required"] = arg.positional() && !arg.optional_positional();
    if (arg.kind == ArgKind::Flag) {
        out["default"] = false;  // a flag is off unless given
    } else if (!arg.default_value.empty()) {
        out["default"] = std::string(arg.default_value);
    }
    const auto names = arg.contract_choices.empty() ? arg.choices : arg.contract_choices;
    if (!names.empty()) out["enum"] = strings(names);
    return out;
}

Json output_field(const OutputField& field) {
    Json out = {{"name", std::string(field.name)}, {"type", std::string(field.type)}};
    if (!field.items.empty()) out["items"] = {{"type", std::string(field.items)}};
    if (!field.description.empty()) out["description"] = std::string(field.description);
    return out;
}

void set_if_given(Json& object, const char* key, std::string_view value) {
    if (!value.empty()) object[key] = std::string(value);
}

Json command_contract(const CommandSpec& command) {
    const CommandContract& facts = command.contract;
    Json out = {{"name", std::string(command.name)},
                {"description", std::string(facts.description)},
                {"effects", std::string(facts.effects)},
                {"mutating", facts.mutating}};
    set_if_given(out, "cardinality", facts.cardinality);
    set_if_given(out, "stability", facts.stability);
    set_if_given(out, "output_kind", facts.output_kind);
    set_if_given(out, "media_type", facts.media_type);
    if (!command.args.empty()) {
        Json args = Json::array();
        for (const ArgSpec& arg : command.args) args.push_back(arg_contract(arg, false));
        out["args"] = std::move(args);
    }
    if (!facts.output_fields.empty()) {
        Json fields = Json::array();
        for (const OutputField& field : facts.output_fields) fields.push_back(output_field(field));
        out["output_fields"] = std::move(fields);
    }
    if (!facts.example.empty()) out["example"] = {{"args", strings(facts.example)}};
    if (!facts.stdout_schema.empty()) {
        out["stdout_schema"] = {{"$ref", std::string(facts.stdout_schema)}};
    }
    return out;
}

// Every error kind with its exit code, as the envelope reports them.
Json error_kinds_contract() {
    Json kinds = Json::array();
    for (const ErrorKindFacts& facts : error_kinds()) {
        kinds.push_back({{"kind", std::string(facts.name)},
                         {"exit_code", facts.exit_code},
                         {"retryable", false},
                         {"description", std::string(facts.description)}});
    }
    return kinds;
}

}  // namespace

Json contract(const CommandTree& tree) {
    Json globals = Json::array();
    for (const ArgSpec& arg : tree.root->args) globals.push_back(arg_contract(arg, true));
    Json commands = Json::array();
    for (const CommandSpec& command : tree.commands) {
        if (command.kind == CommandKind::Command) commands.push_back(command_contract(command));
    }
    return {
        {"ordoval", "0.3"},
        {"name", std::string(tree.root->name)},
        {"version", std::string(kVersion)},
        {"description",
         "Scaffold a ordoval-compliant, agent-facing Rust CLI in seconds: source skeleton, schema, "
         "and the dual-publish release pipeline."},
        {"output", {{"tty", "text"}, {"piped", "json"}}},
        {"global_args", std::move(globals)},
        {"commands", std::move(commands)},
        {"errors", error_kinds_contract()},
    };
}

Json contract() {
    return contract(command_tree());
}

}  // namespace tarnwick
