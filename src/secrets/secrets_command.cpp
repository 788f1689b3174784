// run_secrets: chooses the mode, gathers the local tokens (PyPI first, as it may read stdin
// and fail before anything changes), runs the mode and prints its one report.
#include "secrets/secrets_command.hpp"

#include "core/redaction.hpp"
#include "core/stdio.hpp"
#include "core/text.hpp"
#include "secrets/release_secrets.hpp"
#include "secrets/token_sources.hpp"

namespace tarnwick {
namespace {

// gh would read a repository that begins with "-" as one of its own options.
Status check_gh_repository(const char* what, const std::string& repo) {
    if (!repo.starts_with('-')) return Ok{};
    return CliError::usage("invalid " + std::string(what) + " " + quoted(repo) +
                           ": a repository beginning with '-' would be read by gh as an option");
}

}  // namespace

Status run_secrets(const Secrets& args, OutputFormat format) {
    const std::string target = resolve_target(args.repo, args.owner);
    if (auto s = check_gh_repository("repository", target); !s) return s;
    if (args.verify) {
        auto report = verify(target);
        if (!report) return std::move(report).error();
        print_report(render_verify_report(report.value(), format) + "\n");
        return Ok{};
    }

    const std::string tap =
        args.tap ? *args.tap : std::string(target_owner(target)) + "/homebrew-tap";
    if (auto s = check_gh_repository("--tap", tap); !s) return s;
    auto pypi = pypi_token(args.pypi_token_stdin);
    if (!pypi) return std::move(pypi).error();
    const Token cargo = cargo_token();
    // Whatever a child says back goes through redaction before it reaches a message.
    if (pypi.value()) add_secret(*pypi.value());
    if (cargo) add_secret(*cargo);

    auto report = bootstrap(target, tap, cargo, pypi.value(), args.dry_run);
    if (!report) return std::move(report).error();
    print_report(render_secrets_report(report.value(), format) + "\n");
    return Ok{};
}

}  // namespace tarnwick
