#include "core/error.hpp"

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

std::string_view CliError::kind() const {
    switch (kind_) {
        case ErrorKind::Usage:
            return "usage";
        case ErrorKind::Exists:
            return "exists";
        case ErrorKind::Io:
            return "io";
        case ErrorKind::Git:
            return "git";
        case ErrorKind::Backend:
            return "backend";
    }
    return "io";
}

int CliError::exit_code() const {
    return kind_ == ErrorKind::Usage || kind_ == ErrorKind::Exists ? 3 : 2;
}

std::optional<std::string_view> CliError::hint() const {
    switch (kind_) {
        case ErrorKind::Usage:
            return "see `tarnwick --help` or `tarnwick schema`";
        case ErrorKind::Exists:
            return "choose another name, or remove the existing directory";
        case ErrorKind::Backend:
            return "ensure `gh` is installed and authenticated (`gh auth status`)";
        case ErrorKind::Io:
        case ErrorKind::Git:
            return std::nullopt;
    }
    return std::nullopt;
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
            return first_;
    }
    return first_;
}

std::string envelope_line(const CliError& error) {
    Json inner = Json::object();
    inner["kind"] = error.kind();
    inner["message"] = error.message();
    inner["exit_code"] = error.exit_code();
    if (auto hint = error.hint()) inner["hint"] = *hint;
    Json envelope = Json::object();
    envelope["error"] = std::move(inner);
    return dump_compact(envelope);
}

std::uint8_t emit_error(const CliError& error) {
    print_or_die(STDERR_FILENO, envelope_line(error) + "\n", "stderr");
    return static_cast<std::uint8_t>(error.exit_code());
}

}  // namespace tarnwick
