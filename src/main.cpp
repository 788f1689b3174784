// Entry point: parse once, resolve the output format once, run exactly one command, and turn
// an error into the JSON envelope on stderr and the exit status. Nothing else prints errors.
#include <signal.h>
#include <unistd.h>

#include <CLI/App.hpp>
#include <exception>
#include <new>
#include <string>
#include <variant>

#include "cli/command_line.hpp"
#include "cli/completions.hpp"
#include "core/error.hpp"
#include "core/json.hpp"
#include "core/output_format.hpp"
#include "core/stdio.hpp"
#include "scaffold/check_command.hpp"
#include "scaffold/new_command.hpp"
#include "schema/contract.hpp"
#include "secrets/secrets_command.hpp"

namespace tarnwick {
namespace {

OutputFormat resolve_output(OutputMode mode) {
    switch (mode) {
        case OutputMode::Json:
            return OutputFormat::Json;
        case OutputMode::Text:
            return OutputFormat::Text;
        case OutputMode::Auto:
            break;
    }
    return ::isatty(STDOUT_FILENO) ? OutputFormat::Text : OutputFormat::Json;
}

int finish(const Status& status) {
    return status ? 0 : emit_error(status.error());
}

int run(int argc, const char* const* argv) {
    auto parsed = parse_command_line(argc, argv);
    if (!parsed) {
        const ParseFailure& failure = parsed.error();
        switch (failure.kind) {
            case ParseFailureKind::DisplayHelp:
            case ParseFailureKind::DisplayVersion:
                print_report(failure.text);
                return 0;
            case ParseFailureKind::DisplayHelpOnMissingArguments:
                (void)write_all(STDERR_FILENO, failure.text);
                return 0;
            case ParseFailureKind::Error:
                return emit_error(CliError::usage(failure.text));
        }
    }
    const Cli& cli = parsed.value();
    const OutputFormat format = resolve_output(cli.output);
    if (!cli.command) {
        return emit_error(CliError::usage("no command given (try `tarnwick new <name>`)"));
    }
    return std::visit(
        [format](const auto& command) -> int {
            using T = std::decay_t<decltype(command)>;
            if constexpr (std::is_same_v<T, New>) {
                return finish(run_new(command, format));
            } else if constexpr (std::is_same_v<T, Check>) {
                return finish(run_check(command, format));
            } else if constexpr (std::is_same_v<T, Secrets>) {
                return finish(run_secrets(command, format));
            } else if constexpr (std::is_same_v<T, Schema>) {
                print_or_die(STDOUT_FILENO, dump_pretty(contract()) + "\n", "stdout");
                return 0;
            } else {
                auto tree = build_command_tree();
                print_report(completion_script(command.shell, *tree));
                return 0;
            }
        },
        *cli.command);
}

// An exception that escapes a command still ends in an envelope and exit status 2, never
// in an abort; unwinding on the way also runs the clean-ups (the key directory's included).
int run_guarded(int argc, const char* const* argv) {
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        return emit_error(CliError::io("out of memory"));
    } catch (const std::exception& e) {
        return emit_error(CliError::io(std::string("internal error: ") + e.what()));
    } catch (...) {
        return emit_error(CliError::io("internal error"));
    }
}

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
    tarnwick::ensure_standard_descriptors();
    ::signal(SIGPIPE, SIG_IGN);
    return tarnwick::run_guarded(argc, argv);
}
