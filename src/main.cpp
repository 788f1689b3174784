// Entry point: parse once, resolve the output format once, run exactly one command, and turn
// an error into the JSON envelope on stderr and the exit status. Nothing else prints errors.
#include <signal.h>
#include <unistd.h>

#include <exception>
#include <new>
#include <string>

#include "cli/command_line.hpp"
#include "completions/completions.hpp"
#include "core/error.hpp"
#include "core/json.hpp"
#include "core/output_format.hpp"
#include "core/stdio.hpp"
#include "core/termination_signals.hpp"
#include "doctor/doctor_command.hpp"
#include "scaffold/check_command.hpp"
#include "scaffold/new_command.hpp"
#include "schema/contract.hpp"
#include "secrets/secrets_command.hpp"
#include "update/update_command.hpp"

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

// What a failed write of standard output means for each command's document. The reports of
// `new` and `secrets` describe work that is already done, so losing them changes nothing; a
// lost `check` report, contract or completion script would read as an answer that never came
// (a truncated script would be sourced as if whole), so that is an `io` error.
enum class WriteRule { IgnoreFailure, FailLoudly };

struct Document {
    Result<std::string> text;  // ends in one line feed
    WriteRule rule;
    int status = 0;  // the exit status once the text is written (doctor --strict: 1)
};

template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

// Exactly one handler per record of CliCommand: dispatch refuses to compile without one, naming
// the record. The commands that start children catch the termination signals for their whole
// run: a signal stops the running child's process group, the command fails and unwinds through
// its clean-ups (its temporary directories), and run() then ends the program with that signal.
Document run_command_line(const CliCommand& command, OutputFormat format) {
    const Overloaded handlers{
        [&](const New& c) {
            const TerminationSignalCatch catching;
            return Document{run_new(c, format), WriteRule::IgnoreFailure};
        },
        [&](const Check& c) {
            return Document{run_check(c, format), WriteRule::FailLoudly};
        },
        [&](const Secrets& c) {
            const TerminationSignalCatch catching;
            return Document{run_secrets(c, format), WriteRule::IgnoreFailure};
        },
        [](const Schema&) {
            return Document{dump_pretty(contract()) + "\n", WriteRule::FailLoudly};
        },
        [](const Completions& c) {
            return Document{completion_script(c.shell), WriteRule::FailLoudly};
        },
        // The report of `update` describes a merge that is already committed.
        [&](const Update& c) {
            const TerminationSignalCatch catching;
            return Document{run_update(c, format), WriteRule::IgnoreFailure};
        },
        // Like `check`, the `doctor` report is an answer: losing it is an error.
        [&](const Doctor& c) {
            const TerminationSignalCatch catching;
            auto outcome = run_doctor(c, format);
            if (!outcome) return Document{outcome.error(), WriteRule::FailLoudly};
            return Document{std::move(outcome->text), WriteRule::FailLoudly, outcome->exit_status};
        },
    };
    return dispatch<Document>(command, handlers);
}

int print(const std::string& text, WriteRule rule, int status = 0) {
    auto written = write_all(STDOUT_FILENO, text);
    if (written || rule == WriteRule::IgnoreFailure) return status;
    return emit_error(CliError::io("failed printing to stdout: " + written.error().text()));
}

int run(int argc, const char* const* argv) {
    auto parsed = parse_command_line(argc, argv);
    if (!parsed) {
        const ParseFailure& failure = parsed.error();
        if (failure.kind == ParseFailureKind::Error) {
            return emit_error(CliError::usage(failure.text));
        }
        return print(failure.text, WriteRule::IgnoreFailure);  // help or version
    }
    const Cli& cli = parsed.value();
    if (!cli.command) {
        return emit_error(CliError::usage("no command given (try `tarnwick new <name>`)"));
    }
    Document document = run_command_line(*cli.command, resolve_output(cli.output));
    // A termination signal caught while a command ran (which stopped its child and cleaned up
    // while returning) ends the program as that signal would have, without an envelope.
    if (const int sig = caught_termination_signal()) end_with_signal(sig);
    if (!document.text) {
        // The report that comes with an error is written first; the envelope stays last.
        if (const auto& report = document.text.error().report()) {
            (void)write_all(STDOUT_FILENO, *report);
        }
        return emit_error(document.text.error());
    }
    return print(document.text.value(), document.rule, document.status);
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
