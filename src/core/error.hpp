// The one error type of tarnwick. Every failure is a CliError value built where it happens;
// only the entry point turns one into the JSON envelope on stderr and the exit status.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tarnwick {

enum class ErrorKind { Usage, Exists, Io, Git, Backend, Conflict };

// What every error of a kind shares. The envelope reads the name, exit code and hint; the
// contract lists every kind with its description, which holds for each command that uses it.
struct ErrorKindFacts {
    ErrorKind kind;
    std::string_view name;
    int exit_code;
    std::optional<std::string_view> hint;
    std::string_view description;
};

// Every kind, in the order of ErrorKind.
std::span<const ErrorKindFacts> error_kinds();

class CliError {
public:
    static CliError usage(std::string message);
    static CliError exists(std::string path);
    static CliError io(std::string message);
    static CliError git(std::string detail);
    // tool is "gh" or "ssh-keygen"; the detail is trimmed of white space at both ends.
    static CliError backend(std::string_view tool, std::string_view detail);
    // A backend error whose detail the caller composed and trimmed where it needed to.
    static CliError backend_verbatim(std::string_view tool, std::string detail);
    // A merge that stopped on conflicts and is left in progress; the message names the paths.
    static CliError conflict(std::string message);

    ErrorKind kind() const { return kind_; }
    // The kind's name, as the envelope and the contract give it: "usage", "conflict", ...
    std::string_view kind_name() const;
    int exit_code() const;
    std::optional<std::string_view> hint() const;
    // The display text: what the envelope carries as "message".
    std::string message() const;

    // A report that goes to standard output before the envelope: the conflict report of an
    // update, which the user needs in full to finish or abort the merge.
    CliError with_report(std::string report) && {
        report_ = std::move(report);
        return std::move(*this);
    }
    const std::optional<std::string>& report() const { return report_; }

    // The same error with more said at the end of its message.
    CliError followed_by(std::string_view more) && {
        (kind_ == ErrorKind::Backend ? second_ : first_) += more;
        return std::move(*this);
    }

private:
    CliError(ErrorKind kind, std::string a, std::string b = {})
        : kind_(kind), first_(std::move(a)), second_(std::move(b)) {}
    ErrorKind kind_;
    std::string first_;   // message, path, detail, or tool name
    std::string second_;  // backend detail
    std::optional<std::string> report_;
};

// The single compact JSON line (without its line feed) that reports the error.
std::string envelope_line(const CliError& error);

// Writes the envelope and a line feed to stderr; returns the exit status.
std::uint8_t emit_error(const CliError& error);

}  // namespace tarnwick
