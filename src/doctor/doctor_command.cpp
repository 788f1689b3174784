// run_doctor: each item is looked at on its own and reported; nothing found is an error. The
// only children are version queries, `git config`, `rustup show active-toolchain`,
// `gh auth status` and `gh repo view`, none of which changes anything.
#include "doctor/doctor_command.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "core/core_dumps.hpp"
#include "core/github_names.hpp"
#include "core/text.hpp"
#include "doctor/platform_table.hpp"
#include "doctor/token_source.hpp"
#include "doctor/workflow_scan.hpp"
#include "output/doctor_report.hpp"
#include "process/gh_version.hpp"
#include "process/program_path.hpp"
#include "process/runner.hpp"
#include "scaffold/cargo_toolchain.hpp"
#include "scaffold/commit_identity.hpp"
#include "scaffold/template_values.hpp"
#include "secrets/release_secrets.hpp"

namespace tarnwick {
namespace {

std::string first_output_line(std::string_view text) {
    text = trim(text);
    return std::string(trim(text.substr(0, text.find('\n'))));
}

DoctorItem ok(std::string item, std::string detail) {
    return {std::move(item), "ok", std::move(detail), std::nullopt};
}

DoctorItem problem(std::string item, std::string status, std::string detail, std::string fix) {
    return {std::move(item), std::move(status), std::move(detail), std::move(fix)};
}

DoctorItem skipped(std::string item, std::string detail) {
    return {std::move(item), "skipped", std::move(detail), std::nullopt};
}

// A version query: "ok" with the first line it prints, "missing" when the program cannot be
// started, "unusable" when it fails.
DoctorItem version_item(std::string item, const std::string& program,
                        const std::vector<std::string>& args, const std::vector<std::string>& env,
                        const std::string& install) {
    auto run = run_command(program, args, std::nullopt, std::nullopt, env);
    if (!run) {
        return problem(item, "missing", program + " cannot be started: " + run.error().text(),
                       install);
    }
    if (!run->success) {
        return problem(item, "unusable",
                       "`" + program + " " + join(args, " ") + "` failed: " + failure_detail(*run),
                       install);
    }
    return ok(item, first_output_line(run->stdout_text));
}

DoctorItem author_item() {
    auto author = default_author();
    if (!author) {
        return problem("author", "invalid", author.error().message(),
                       "git config --global user.name \"Your Name\"");
    }
    if (author.value() == kPlaceholderAuthor) {
        return problem(
            "author", "missing",
            "no user.name in git's configuration: new would write \"" + author.value() + "\"",
            "git config --global user.name \"Your Name\"");
    }
    if (split_author(author.value()).email.empty()) {
        return problem("author", "incomplete",
                       author.value() + " (no user.email: the first commit would use " +
                           std::string(kFallbackCommitEmail) + ")",
                       "git config --global user.email you@example.com");
    }
    return ok("author", author.value());
}

void toolchain_items(std::vector<DoctorItem>& items) {
    const std::string install = "install Rust with rustup: https://rustup.rs";
    const CargoToolchain toolchain = resolve_cargo_toolchain();
    if (!toolchain.usable) {
        items.push_back(problem("cargo", "unusable",
                                "rustup cannot name the active toolchain here: new would not "
                                "run cargo",
                                "rustup default stable"));
        items.push_back(skipped("rustfmt", "needs a usable cargo"));
        return;
    }
    items.push_back(version_item("cargo", "cargo", {"--version"}, toolchain.env, install));
    if (items.back().status != "ok") {
        items.push_back(skipped("rustfmt", "needs a usable cargo"));
        return;
    }
    DoctorItem fmt = version_item("rustfmt", "cargo", {"fmt", "--version"}, toolchain.env,
                                  "rustup component add rustfmt");
    if (fmt.status == "unusable") fmt.status = "missing";
    items.push_back(std::move(fmt));
}

// The gh items; returns whether gh can be started, which the repository items need.
bool gh_items(std::vector<DoctorItem>& items) {
    const std::string upgrade = "install gh " + to_string(kGhForSecrets) +
                                " or later: https://github.com/cli/cli#installation";
    auto run = run_command("gh", {"--version"});
    if (!run) {
        items.push_back(
            problem("gh", "missing", "gh cannot be started: " + run.error().text(), upgrade));
        items.push_back(skipped("gh_login", "needs gh"));
        return false;
    }
    const auto version = run->success ? parse_gh_version(run->stdout_text) : std::nullopt;
    if (!run->success) {
        items.push_back(
            problem("gh", "unusable", "`gh --version` failed: " + failure_detail(*run), upgrade));
    } else if (!version) {
        items.push_back(problem("gh", "unknown",
                                "`gh --version` printed " +
                                    tarnwick::quoted(first_output_line(run->stdout_text)) +
                                    ", which names no version",
                                upgrade));
    } else if (*version < kGhForSecrets) {
        std::string detail = "gh " + to_string(*version) + ": `tarnwick secrets` needs " +
                             to_string(kGhForSecrets) + " or later";
        if (*version < kGhForRepoCreate) {
            detail += ", `tarnwick new --github` " + to_string(kGhForRepoCreate);
        }
        items.push_back(problem("gh", "too_old", detail, upgrade));
    } else {
        items.push_back(ok("gh", "gh " + to_string(*version)));
    }

    auto status = run_command("gh", {"auth", "status"});
    if (status && status->success) {
        items.push_back(ok("gh_login", "logged in (`gh auth status`)"));
    } else {
        const std::string said =
            status ? first_output_line(status->stderr_text.empty() ? status->stdout_text
                                                                   : status->stderr_text)
                   : status.error().text();
        items.push_back(problem("gh_login", "not_logged_in",
                                "`gh auth status` failed" + (said.empty() ? "" : ": " + said),
                                "gh auth login"));
    }
    return true;
}

DoctorItem token_item(std::string item, const std::optional<std::string>& source,
                      std::string_view secret, std::string_view looked_in, std::string fix) {
    if (source) return ok(std::move(item), "from " + *source);
    return problem(std::move(item), "missing",
                   "no token in " + std::string(looked_in) + ": `tarnwick secrets` would skip " +
                       std::string(secret),
                   std::move(fix));
}

DoctorItem reachable_item(std::string item, const std::string& repo, std::string fix) {
    auto run = run_command("gh", {"repo", "view", repo, "--json", "name"});
    if (run && run->success) return ok(std::move(item), repo + " is reachable");
    const std::string said = run ? first_output_line(run->stderr_text) : run.error().text();
    return problem(std::move(item), "unreachable",
                   "`gh repo view " + repo + "` failed" + (said.empty() ? "" : ": " + said),
                   std::move(fix));
}

void workflow_items(std::vector<DoctorItem>& items, const std::string& project) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(project) / ".github" / "workflows";
    const std::string shown = decode_lossy(project);
    std::error_code ec;
    std::vector<fs::path> files;
    if (fs::is_directory(dir, ec)) {
        for (const auto& entry : fs::directory_iterator(dir, ec)) {
            const std::string ext = entry.path().extension().string();
            if ((ext == ".yml" || ext == ".yaml") && entry.is_regular_file(ec)) {
                files.push_back(entry.path());
            }
        }
    }
    if (files.empty()) {
        items.push_back(skipped("workflows", "no workflow files in " + shown +
                                                 "/.github/workflows: not a generated project"));
        return;
    }
    std::sort(files.begin(), files.end());
    const std::string fix =
        project == "." ? "tarnwick update" : "tarnwick update " + shell_word(shown);
    for (const fs::path& file : files) {
        const std::string item = ".github/workflows/" + decode_lossy(file.filename().string());
        std::ifstream in(file, std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in.good() && !in.eof()) {
            items.push_back(problem(item, "unreadable", "cannot be read", "check its permissions"));
            continue;
        }
        const auto findings = stale_workflow_lines(text, platform_table());
        if (findings.empty()) {
            items.push_back(ok(item, "runner images and action pins are current"));
        } else {
            items.push_back(problem(item, "stale", join(findings, "; "), fix));
        }
    }
}

Status check_repository_syntax(const char* what, const std::string& repo) {
    if (!repo.starts_with('-')) return Ok{};
    return CliError::usage("invalid " + std::string(what) + " " + tarnwick::quoted(repo) +
                           ": a repository beginning with '-' would be read by gh as an option");
}

}  // namespace

Result<std::string> run_doctor(const Doctor& args, OutputFormat format) {
    std::optional<std::string> target, tap;
    if (args.repo) {
        target = resolve_target(*args.repo, args.owner);
        TARNWICK_TRY(check_repository_syntax("repository", *target));
        tap = args.tap.value_or(std::string(target_owner(*target)) + "/homebrew-tap");
    }
    if (args.tap && !is_github_repository(*args.tap)) {
        return CliError::usage("invalid --tap " + tarnwick::quoted(*args.tap) +
                               ": use OWNER/NAME, a GitHub account and a repository name");
    }
    // The token lookups hold values in this process for a moment, as `secrets` does.
    (void)disable_core_dumps();

    DoctorReport report;
    auto& items = report.items;
    items.push_back(version_item("git", "git", {"--version"}, {},
                                 "install git (e.g. `sudo apt-get install git`)"));
    items.push_back(author_item());
    toolchain_items(items);
    const bool gh = gh_items(items);
    if (auto path = find_program("ssh-keygen")) {
        items.push_back(ok("ssh-keygen", decode_lossy(*path)));
    } else {
        items.push_back(problem("ssh-keygen", "missing", "ssh-keygen is not on PATH",
                                "install OpenSSH's client (e.g. `sudo apt-get install "
                                "openssh-client`)"));
    }
    items.push_back(token_item("crates_token", cargo_token_source(), "CARGO_REGISTRY_TOKEN",
                               "$CARGO_REGISTRY_TOKEN or the cargo credentials file",
                               "cargo login"));
    items.push_back(token_item("pypi_token", pypi_token_source(), "PYPI_API_TOKEN",
                               "$PYPI_API_TOKEN, $UV_PUBLISH_TOKEN or ~/.pypirc",
                               "export PYPI_API_TOKEN=<token> (or run `tarnwick secrets` with "
                               "--pypi-token-stdin)"));
    if (target) {
        if (!gh) {
            items.push_back(skipped("repo", "needs gh"));
            items.push_back(skipped("tap", "needs gh"));
        } else {
            items.push_back(
                reachable_item("repo", *target, "gh repo create " + *target + " --public"));
            items.push_back(reachable_item("tap", *tap, "gh repo create " + *tap + " --public"));
        }
    }
    workflow_items(items, args.project);

    return (format == OutputFormat::Json ? render_doctor_json(report)
                                         : render_doctor_text(report)) +
           "\n";
}

}  // namespace tarnwick
