// The one place where tarnwick starts child processes (git, gh, ssh-keygen, cargo).
// Children never share the program's standard streams: their output is captured in full and
// their standard input is the null device or a pipe fed with the bytes given.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/io.hpp"
#include "core/result.hpp"

namespace tarnwick {

struct CommandOutput {
    std::string stdout_text;      // decoded lossily as UTF-8
    std::string stderr_text;      // decoded lossily as UTF-8
    bool success = false;         // exited normally with status 0
    int signal = 0;               // the signal that killed the child, else 0
    bool stdout_was_utf8 = true;  // false: stdout_text holds U+FFFD for bytes that were not
};

// Runs program (looked up on PATH) with args, no shell. input absent: stdin is the null
// device; present (even empty): a pipe fed with those bytes. dir: the child's working
// directory; extra_env: NAME=value entries set on top of the inherited environment. Waits for
// the child; both output pipes are drained together with the input. A child that closes its
// stdin early is not an error: feeding stops, and its output and exit are reported as usual.
// An extra_env entry without "NAME=" is refused with EINVAL before anything starts, and a dir
// that cannot be entered fails with its OS error after "cannot change to \"dir\"". Each child
// leads its own process group. When waiting, reading or feeding fails, the group is killed, the
// child reaped and that error returned. While the termination signals are caught, none starts
// once one has arrived, and one that arrives while the child runs (its output open or closed)
// stops the group, SIGTERM and then SIGKILL after a second, and fails the run with EINTR.
Result<CommandOutput, OsError> run_command(std::string_view program,
                                           const std::vector<std::string>& args,
                                           std::optional<std::string_view> input = std::nullopt,
                                           const std::optional<std::string>& dir = std::nullopt,
                                           const std::vector<std::string>& extra_env = {});

// run_command for a tool whose start failures are backend errors naming the tool.
Result<CommandOutput> run_tool(std::string_view tool, const std::vector<std::string>& args,
                               std::optional<std::string_view> input = std::nullopt);

Result<CommandOutput> run_gh(const std::vector<std::string>& args);

// run_tool, where a run that ends without success is tool_error with its stderr.
Result<CommandOutput> run_tool_checked(std::string_view tool, const std::vector<std::string>& args,
                                       std::optional<std::string_view> input = std::nullopt);
Result<CommandOutput> run_gh_checked(const std::vector<std::string>& args,
                                     std::optional<std::string_view> input = std::nullopt);

// Runs git in dir; success, or a git error ("could not run git: ..." or git's stderr).
Status run_git(const std::string& dir, const std::vector<std::string>& args);

// The backend error for a tool that ran and failed: text is its stderr with every secret
// value of the run redacted, then trimmed, and cut to its last 4 KiB with a note saying so.
CliError tool_error(std::string_view tool, std::string_view text);

// What a message says about a child that ran and failed: its stderr as tool_error shows it,
// and, for a child killed by a signal, "killed by signal SIGNAME".
std::string failure_detail(const CommandOutput& run);

// "SIGKILL" for 9; "signal 77" for a number without a name.
std::string signal_name(int signal);

}  // namespace tarnwick
