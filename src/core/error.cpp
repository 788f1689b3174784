#include "core/error.hpp"

#include <array>

#include "core/json.hpp"
#include "core/stdio.hpp"
#include "core/text.hpp"

namespace tarnwick {

CliError CliError::usage(std::string message) {
    return {ErrorKind::Usage, std::move(message)};
}
CliError CliError::exists(std::string path) {
    return {ErrorKind::Exists, std::move(path)};
}
CliError CliError::io(std::string message) {
    return {ErrorKind::Io, std::move(message)};
}
CliError CliError::git(std::string detail) {
    return {ErrorKind::Git, std::move(detail)};
}
CliError CliError::backend(std::string_view tool, std::string_view detail) {
    return {ErrorKind::Backend, std::string(tool), std::string(trim(detail))};
}
CliError CliError::backend_verbatim(std::string_view tool, std::string detail) {
    return {ErrorKind::Backend, std::string(tool), std::move(detail)};
}
CliError CliError::conflict(std::string message) {
    return {ErrorKind::Conflict, std::move(message)};
}

namespace {

constexpr std::array<ErrorKindFacts, 6> kKinds = {{
    {ErrorKind::Usage, "usage", 3, "see `tarnwick --help` or `tarnwick schema`",
     "Invalid command-line arguments, or a value to be used that breaks its rules: a crate "
     "name, owner, repository, tap, description or author (given, or from git config)."},
    {ErrorKind::Exists, "exists", 3, "choose another name, or remove the existing directory",
     "The target directory already exists."},
    {ErrorKind::Io, "io", 2, std::nullopt,
     "A file, directory or standard stream could not be read or written, or the program "
     "itself failed (out of memory, an internal error)."},
    {ErrorKind::Git, "git", 2, std::nullopt,
     "git failed, is missing or too old, or the project's repository or .tarnwick.toml does "
     "not allow `update` to run (the message says which). Files that `new` wrote before the "
     "failure are kept; `update` has changed nothing unless its message says the merge is "
     "staged."},
    {ErrorKind::Backend, "backend", 2,
     "ensure `gh` is installed and authenticated (`gh auth status`)",
     "An external tool (gh, ssh-keygen) failed; check `gh auth status`."},
    {ErrorKind::Conflict, "conflict", 4,
     "resolve the conflicted files and `git commit` to finish, or `git merge --abort` to undo",
     "`update` merged the new templates and git stopped on conflicts: the merge is left in "
     "progress, with markers in the named files. Resolve and commit, or `git merge --abort`."},
}};

// facts() indexes the table by the enumerator.
constexpr bool in_enum_order() {
    for (std::size_t i = 0; i < kKinds.size(); ++i) {
        if (kKinds[i].kind != static_cast<ErrorKind>(i)) return false;
    }
    return kKinds.size() == static_cast<std::size_t>(ErrorKind::Conflict) + 1;
}
static_assert(in_enum_order(), "kKinds lists every ErrorKind, in the enum's order");

const ErrorKindFacts& facts(ErrorKind kind) {
    return kKinds[static_cast<std::size_t>(kind)];
}

}  // namespace

std::span<const ErrorKindFacts> error_kinds() {
    return kKinds;
}

std::string_view CliError::kind_name() const {
    return facts(kind_).name;
}

int CliError::exit_code() const {
    return facts(kind_).exit_code;
}

std::optional<std::string_view> CliError::hint() const {
    return facts(kind_).hint;
}

std::string CliError::message() const {
    switch (kind_) {
        case ErrorKind::Exists:
            return first_ + " already exists";
        case ErrorKind::Git:
            return "git: " + first_;
        case ErrorKind::Backend:
            return first_ + ": " + second_;
        case ErrorKind::Usage:
        case ErrorKind::Io:
        case ErrorKind::Conflict:
            return first_;
    }
    return first_;
}

std::string envelope_line(const CliError& error) {
    Json inner = Json::object();
    inner["kind"] = error.kind_name();
    inner["message"] = error.message();
    inner["exit_code"] = error.exit_code();
    if (auto hint = error.hint()) inner["hint"] = *hint;
    Json envelope = Json::object();
    envelope["error"] = std::move(inner);
    return dump_compact(envelope);
}

std::uint8_t emit_error(const CliError& error) {
    print_or_die(envelope_line(error) + "\n");
    return static_cast<std::uint8_t>(error.exit_code());
}

}  // namespace tarnwick
