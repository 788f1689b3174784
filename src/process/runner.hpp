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

// The working directory of a child that reads configuration from its working directory and
// every directory above it (cargo's .cargo/config.toml and its aliases, rustup's toolchain
// files): the root, which has no directory above it and which only the administrator writes.
// The user's directory will not do (a cloned repository's configuration could name a program
// of its own), nor a private temporary directory, whose parents are $TMPDIR's: /tmp is
// writable by every user. The project such a child works on is named by path.
inline constexpr std::string_view kNeutralDir = "/";

struct ChildOutput {
    std::string stdout_text;      // decoded lossily as UTF-8
    std::string stderr_text;      // decoded lossily as UTF-8
    bool success = false;         // exited normally with status 0
    int signal = 0;               // the signal that killed the child, else 0
    bool stdout_was_utf8 = true;  // false: stdout_text holds U+FFFD for bytes that were not
    int exit_code = -1;           // the exit status when the child exited, else -1
    bool timed_out = false;       // its group was killed when RunLimits::timeout_ms ran out
    bool output_cut = false;      // stdout or stderr had more than RunLimits::output_cap bytes
};

// Bounds on one child, for callers that must not wait or hold memory without end (doctor's
// read-only queries). Zero means no bound.
struct RunLimits {
    int timeout_ms = 0;          // after this the child's group is killed; timed_out is set
    std::size_t output_cap = 0;  // bytes kept of each of stdout and stderr; the rest is drained
};

// One child to run: program (looked up on PATH) with args, no shell. input absent: stdin is
// the null device; present (even empty): a pipe fed with those bytes. dir: the child's working
// directory; extra_env: NAME=value entries set on top of the inherited environment; limits
// bound the wait and the output kept (see RunLimits; none given: the default ones, if set).
// Written with designated initialisers: run_child({.program = "git", .args = {"--version"}}).
// (Every member has an initialiser, so that a call may leave any of them out.)
struct ChildCall {
    std::string program = {};
    std::vector<std::string> args = {};
    std::optional<std::string> input = {};
    std::optional<std::string> dir = {};
    std::vector<std::string> extra_env = {};
    RunLimits limits = {};
};

// Runs the call and waits for the child; both output pipes are drained together with the
// input. A child that closes its stdin early is not an error: feeding stops, and its output
// and exit are reported as usual. An extra_env entry without "NAME=" is refused with EINVAL
// before anything starts, and a dir that cannot be entered fails with its OS error after
// "cannot change to \"dir\"". Each child leads its own process group. When waiting, reading or
// feeding fails, the group is killed, the child reaped and that error returned. While the
// termination signals are caught, none starts once one has arrived, and one that arrives while
// the child runs (its output open or closed) stops the group, SIGTERM and then SIGKILL after a
// second, and fails the run with EINTR.
Result<ChildOutput, OsError> run_child(ChildCall call);

// While set, the limits that a call without limits of its own gets: a command all of whose
// children must be bounded (doctor) sets them once, and children started for it by other
// modules are bounded too. RunLimits{} clears them. Returns the previous ones.
RunLimits set_default_run_limits(RunLimits limits);

// run_child for a tool whose start failures are backend errors naming the tool.
Result<ChildOutput> run_tool(std::string_view tool, const std::vector<std::string>& args,
                             std::optional<std::string_view> input = std::nullopt);

Result<ChildOutput> run_gh(const std::vector<std::string>& args);

// run_tool, where a run that ends without success is tool_error with its stderr.
Result<ChildOutput> run_tool_checked(std::string_view tool, const std::vector<std::string>& args,
                                     std::optional<std::string_view> input = std::nullopt);
Result<ChildOutput> run_gh_checked(const std::vector<std::string>& args,
                                   std::optional<std::string_view> input = std::nullopt);

// git, started one way for every command: PATH's git, and every path given to it a path
// (GIT_LITERAL_PATHSPECS: a project directory named ":x" or "*" is no pathspec magic or pattern).
struct GitCall {
    std::string dir;               // git's working directory
    std::vector<std::string> env;  // NAME=value entries on top of the inherited environment
};

// The finished run whatever its exit status: only a git that cannot start is an error, the git
// error "could not run git: " and the OS error's text. For the callers to whom a status other
// than 0 is an answer (merge-tree's conflicts, `git var`) or who word the failure themselves.
Result<ChildOutput> run_git_unchecked(const GitCall& call, const std::vector<std::string>& args,
                                      std::optional<std::string_view> input = std::nullopt);

// The standard output of a successful run; a run without success is git_failure.
Result<std::string> git_stdout(const GitCall& call, const std::vector<std::string>& args,
                               std::optional<std::string_view> input = std::nullopt);

// git_stdout in dir, the output dropped: success, or the same git errors.
Status run_git(const std::string& dir, const std::vector<std::string>& args);

// The git error for a run without success: what git said, which is its stderr or, when that is
// empty, its stdout (git prints some refusals there), as failure_detail shows a stderr (redacted,
// trimmed, its last 4 KiB) and with the signal that killed it; a git that said nothing and
// exited is named by its status.
CliError git_failure(const ChildOutput& run);

// The backend error for a tool that ran and failed: text is its stderr with every secret
// value of the run redacted, then trimmed, and cut to its last 4 KiB with a note saying so.
CliError tool_error(std::string_view tool, std::string_view text);

// What a message says about a child that ran and failed: its stderr as tool_error shows it,
// and, for a child killed by a signal, "killed by signal SIGNAME".
std::string failure_detail(const ChildOutput& run);

// "SIGKILL" for 9; "signal 77" for a number without a name.
std::string signal_name(int signal);

}  // namespace tarnwick
