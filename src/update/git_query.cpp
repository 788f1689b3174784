#include "update/git_query.hpp"

#include "core/redaction.hpp"
#include "core/text.hpp"

namespace tarnwick {

Result<ChildOutput> git_run(const GitCall& call, const std::vector<std::string>& args,
                            std::optional<std::string_view> input) {
    // Every path given to git is a path: a project directory named ":x" or "*" is no pathspec
    // magic or pattern.
    std::vector<std::string> env = call.env;
    env.emplace_back("GIT_LITERAL_PATHSPECS=1");
    auto run = run_child("git", args, input, call.dir, env);
    if (!run) return CliError::git("could not run git: " + run.error().text());
    return std::move(run).value();
}

Result<std::string> git_stdout(const GitCall& call, const std::vector<std::string>& args,
                               std::optional<std::string_view> input) {
    TARNWICK_TRY_ASSIGN(auto run, git_run(call, args, input));
    if (!run.success) return git_failure(run);
    return std::move(run.stdout_text);
}

CliError git_failure(const ChildOutput& run) {
    std::string_view text = trim(run.stderr_text);
    if (text.empty()) text = trim(run.stdout_text);
    std::string said(trim(redact(text)));
    if (said.empty()) {
        said = run.signal != 0
                   ? "killed by signal " + signal_name(run.signal)
                   : "exited with status " + std::to_string(run.exit_code) + " and printed nothing";
    }
    return CliError::git(said);
}

}  // namespace tarnwick
