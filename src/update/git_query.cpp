#include "update/git_query.hpp"

#include "core/redaction.hpp"
#include "core/text.hpp"

namespace tarnwick {

Result<CommandOutput> git_run(const GitCall& call, const std::vector<std::string>& args,
                              std::optional<std::string_view> input) {
    auto run = run_command("git", args, input, call.dir, call.env);
    if (!run) return CliError::git("could not run git: " + run.error().text());
    return std::move(run).value();
}

Result<std::string> git_stdout(const GitCall& call, const std::vector<std::string>& args,
                               std::optional<std::string_view> input) {
    auto run = git_run(call, args, input);
    if (!run) return std::move(run).error();
    if (!run->success) return git_failure(*run);
    return std::move(run->stdout_text);
}

CliError git_failure(const CommandOutput& run) {
    std::string_view text = trim(run.stderr_text);
    if (text.empty()) text = trim(run.stdout_text);
    return CliError::git(std::string(trim(redact(text))));
}

std::vector<std::string> split_nul(std::string_view text) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find('\0', start);
        if (end == std::string_view::npos) {
            pieces.emplace_back(text.substr(start));
            break;
        }
        pieces.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

}  // namespace tarnwick
