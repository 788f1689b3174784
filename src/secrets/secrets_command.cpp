// run_secrets: chooses the mode, gathers the local tokens (PyPI first, as it may read stdin
// and fail before anything changes), runs the mode and prints its one report.
#include "secrets/secrets_command.hpp"

#include "core/core_dumps.hpp"
#include "core/github_names.hpp"
#include "core/redaction.hpp"
#include "core/text.hpp"
#include "output/secrets_report.hpp"
#include "process/gh_version.hpp"
#include "secrets/release_secrets.hpp"
#include "secrets/token_sources.hpp"

namespace tarnwick {
namespace {

Token value_of(const std::optional<FoundToken>& found) {
    if (!found) return std::nullopt;
    return found->value;
}

}  // namespace

Result<std::string> run_secrets(const Secrets& args, OutputFormat format) {
    TARNWICK_TRY(check_repository(args.repo));
    TARNWICK_TRY(check_owner(args.owner));
    if (args.tap) TARNWICK_TRY(check_tap(*args.tap));
    const std::string target = resolve_target(args.repo, args.owner);
    // An older gh would fail at its first `--json` listing, after a secret was already set.
    if (args.verify) {
        TARNWICK_TRY(require_gh(kGhForSecrets, "`tarnwick secrets --verify`"));
        TARNWICK_TRY_ASSIGN(auto report, verify(target));
        return render_verify_report(report, format) + "\n";
    }

    const std::string owners_tap = default_tap(target_owner(target));
    const std::string tap = args.tap.value_or(owners_tap);
    // Tokens and the deploy key are about to live in this process and its children.
    if (auto off = disable_core_dumps(); !off) {
        return CliError::io("could not turn core dumps off: " + off.error().text());
    }
    TARNWICK_TRY_ASSIGN(auto pypi, pypi_token(args.pypi_token_stdin));
    const auto cargo = cargo_token();
    // Whatever a child says back goes through redaction before it reaches a message, line by
    // line too, since a child may echo a multi-line value a line at a time.
    if (pypi) add_secret_with_lines(pypi->value);
    if (cargo) add_secret_with_lines(cargo->value);

    if (!args.dry_run) TARNWICK_TRY(require_gh(kGhForSecrets, "`tarnwick secrets`"));
    TARNWICK_TRY_ASSIGN(auto report, bootstrap(target, tap, tap != owners_tap, value_of(cargo),
                                               value_of(pypi), args.dry_run));
    return render_secrets_report(report, format) + "\n";
}

}  // namespace tarnwick
