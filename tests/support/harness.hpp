// Test harness: running the built tarnwick binary (or any program) as a child with a
// controlled environment, capturing stdout, stderr and the exit status. A step of starting the
// child that fails (a pipe, the spawn itself) fails the running test with the OS error.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/files.hpp"
#include "support/scoped_env.hpp"

namespace tarnwick::testing {

struct RunResult {
    std::string out;
    std::string err;
    int exit_code = -1;  // -1 when killed by a signal
    int signal = 0;      // the signal that ended the child, else 0
};

struct RunOptions {
    std::string cwd;  // empty: the test's working directory
    // Variables set (value) or removed (nullopt) on top of the default environment.
    std::map<std::string, std::optional<std::string>> env;
    std::optional<std::string> input;      // stdin bytes; absent: /dev/null
    std::string stdin_path;                // when set, stdin is this file (a device, a FIFO)
    bool use_pty = false;                  // stdout on a pseudo-terminal (stderr still a pipe)
    bool stdout_reader_closed = false;     // stdout is a pipe whose read end is already closed
    bool close_stdout_and_stderr = false;  // the child starts with descriptors 1 and 2 closed
};

// The default environment of an end-to-end run: PATH with tests/fakes first, HOME and
// TMPDIR inside `home`, GIT_CONFIG_NOSYSTEM=1, and the real Rust toolchain locations.
std::map<std::string, std::string> default_env(const std::string& home);

// Runs program (a path, or a name looked up on the child's PATH) with the given environment.
// A program that cannot be started fails the test; the result then has exit_code 127.
RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& env, const RunOptions& options);

// The tarnwick under test: $TARNWICK_BIN when it is set (make test runs the end-to-end suite
// against the release binary too), else the one built beside the tests.
const std::string& tarnwick_bin();
#define TARNWICK_BIN (::tarnwick::testing::tarnwick_bin())

// Runs the built tarnwick with default_env(home) plus options.env.
RunResult run_tarnwick(const std::vector<std::string>& args, const std::string& home,
                       const RunOptions& options = {});

// Starts the built tarnwick without waiting for it, for tests that signal it while it runs:
// the termination signals have their default dispositions and are unblocked (whatever the
// test runner inherited), core dumps are off, stdin is /dev/null, and stdout and stderr go
// to the files named. options.env and options.cwd apply as in run_tarnwick; the stdin fields
// and the memcheck wrapper do not.
int start_tarnwick(const std::vector<std::string>& args, const std::string& home,
                   const RunOptions& options, const std::string& out_file,
                   const std::string& err_file);

// Waits for a started tarnwick and collects its result from the two files.
RunResult finish_tarnwick(int pid, const std::string& out_file, const std::string& err_file);

// Writes a git identity into home/.gitconfig.
void write_git_identity(const std::string& home, const std::string& name, const std::string& email);

}  // namespace tarnwick::testing
