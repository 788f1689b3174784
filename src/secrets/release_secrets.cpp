// The secrets command's steps. Each step changes the hosted side at once and nothing is undone
// when a later one fails; the first failure ends the command.
#include "secrets/release_secrets.hpp"

#include <algorithm>
#include <memory>

#include "core/redaction.hpp"
#include "core/text.hpp"
#include "process/runner.hpp"
#include "secrets/deploy_key.hpp"
#include "secrets/token_sources.hpp"

namespace tarnwick {

std::string resolve_target(const std::string& repo, const std::string& owner) {
    if (repo.find('/') != std::string::npos) return repo;
    return owner + "/" + repo;
}

std::string_view target_name(std::string_view target) {
    const auto slash = target.rfind('/');
    return slash == std::string_view::npos ? target : target.substr(slash + 1);
}

std::string_view target_owner(std::string_view target) {
    return target.substr(0, target.find('/'));
}

Status preflight(const std::string& target, const std::string& tap) {
    TARNWICK_TRY_ASSIGN(auto auth, run_gh({"auth", "status"}));
    // A gh that was killed did not say whether it is logged in.
    if (auth.signal != 0) return CliError::backend("gh", failure_detail(auth));
    if (!auth.success) return CliError::backend("gh", "not authenticated; run `gh auth login`");
    TARNWICK_TRY_ASSIGN(auto view, run_gh({"repo", "view", target, "--json", "name"}));
    if (!view.success) {
        // Only gh's part is trimmed: with an empty stderr the message keeps its final blank.
        return CliError::backend_verbatim(
            "gh", "repo " + target + " not found or inaccessible: " + failure_detail(view));
    }
    TARNWICK_TRY_ASSIGN(auto tap_view, run_gh({"repo", "view", tap, "--json", "name"}));
    if (!tap_view.success) {
        const std::string said = failure_detail(tap_view);
        return CliError::backend_verbatim(
            "gh", "tap " + tap + " not found or inaccessible" + (said.empty() ? "" : ": " + said) +
                      "; to create it, run `gh repo create " + tap + " --public`");
    }
    return Ok{};
}

Status set_secret(const std::string& target, std::string_view name, const std::string& value) {
    TARNWICK_TRY(run_gh_checked({"secret", "set", std::string(name), "-R", target}, value));
    return Ok{};
}

Result<std::vector<std::string>> list_secrets(const std::string& target) {
    TARNWICK_TRY_ASSIGN(auto run, run_gh_checked({"secret", "list", "-R", target, "--json", "name",
                                                  "-q", ".[].name"}));
    std::vector<std::string> names;
    for (std::string_view line : lines(run.stdout_text)) {
        line = trim(line);
        if (!line.empty()) names.emplace_back(line);
    }
    return names;
}

Status set_variable(const std::string& target, std::string_view name, const std::string& value) {
    TARNWICK_TRY(
        run_gh_checked({"variable", "set", std::string(name), "--body", value, "-R", target}));
    return Ok{};
}

Result<SecretsReport> bootstrap(const std::string& target, const std::string& tap, bool record_tap,
                                const std::optional<std::string>& cargo_token,
                                const std::optional<std::string>& pypi_token, bool dry_run) {
    SecretsReport report;
    report.repo = target;
    report.dry_run = dry_run;
    if (!dry_run) {
        TARNWICK_TRY(preflight(target, tap));
    }

    // The key pair is made before anything changes on the hosted side, so a missing ssh-keygen
    // or an unusable temporary directory stops the run with nothing set.
    const std::string title = deploy_key_title(target_name(target));
    std::unique_ptr<KeyDirectory> dir;
    KeyPair pair;
    if (!dry_run) {
        TARNWICK_TRY_ASSIGN(auto made, KeyDirectory::create());
        dir = std::move(made);
        TARNWICK_TRY_ASSIGN(auto generated, generate_key_pair(*dir, title));
        pair = std::move(generated);
        add_secret_with_lines(pair.private_key);
    }

    // A token found on this machine is set (only reported, in a dry run); a missing one is
    // skipped with the reason.
    auto put_token = [&](const std::optional<std::string>& token, std::string_view secret,
                         const std::string& none) -> Status {
        if (!token) {
            report.skipped.push_back({std::string(secret), none});
            return Ok{};
        }
        if (!dry_run) TARNWICK_TRY(set_secret(target, secret, *token));
        report.set.emplace_back(secret);
        return Ok{};
    };
    TARNWICK_TRY(put_token(cargo_token, kCargoSecret,
                           "no token in " + cargo_token_places() + " (run `cargo login`)"));

    if (!dry_run) {
        TARNWICK_TRY_ASSIGN(auto rotated, rotate_deploy_key(*dir, tap, title, pair.public_key));
        // Nothing of the key is on disk any more; the directory goes now.
        dir.reset();
        if (rotated) report.notes.push_back("rotated existing deploy key " + title + " on " + tap);
        TARNWICK_TRY(set_secret(target, kDeployKeySecret, pair.private_key));
        TARNWICK_TRY(confirm_deploy_key(tap, pair.public_key, kDeployKeySecret));
    }
    report.set.emplace_back(kDeployKeySecret);

    // The release workflow clones the default tap unless this variable names another.
    if (record_tap) {
        if (!dry_run) TARNWICK_TRY(set_variable(target, kTapVariable, tap));
        report.notes.push_back(std::string(dry_run ? "would set" : "set") + " variable " +
                               std::string(kTapVariable) + " to " + tap);
    }

    TARNWICK_TRY(put_token(pypi_token, kPypiSecret,
                           "no token in " + pypi_token_places() + " (or pass --pypi-token-stdin)"));
    return report;
}

Result<VerifyReport> verify(const std::string& target) {
    TARNWICK_TRY_ASSIGN(auto names, list_secrets(target));
    VerifyReport report;
    report.repo = target;
    for (auto secret : {kCargoSecret, kDeployKeySecret, kPypiSecret}) {
        const bool present = std::find(names.begin(), names.end(), secret) != names.end();
        (present ? report.present : report.missing).emplace_back(secret);
    }
    return report;
}

}  // namespace tarnwick
