// Readers of the git outputs that `update` relies on. Pure functions over the captured text,
// so each format is tested without a repository.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// From `git status --porcelain=v2 --branch -z`.
struct WorkTreeStatus {
    std::optional<std::string> head;    // absent on an unborn branch
    std::optional<std::string> branch;  // absent on a detached HEAD
    std::vector<std::string> changed;
};
WorkTreeStatus work_tree_status(std::string_view out);

// A path that is unmerged, with the conflict kind `git status` gives it ("both modified",
// "deleted by us", ...), from the stages present.
struct Unmerged {
    std::string path;
    std::string kind;
};

// From records "MODE OID STAGE\tPATH", as `git ls-files -u -z` and the conflicted-file part of
// `git merge-tree --write-tree -z` print them: one entry per path, sorted by path. nullopt when a
// record does not have that shape.
std::optional<std::vector<Unmerged>> unmerged_paths(const std::vector<std::string>& records);

// From `git ls-files -v -z`: the paths marked assume-unchanged (a lower-case tag) or
// skip-worktree ("S"), whose uncommitted edits git does not show.
std::vector<std::string> hidden_from_status(std::string_view out);

}  // namespace tarnwick
