// Readers of the git outputs that `update` relies on. Pure functions over the captured text,
// so each format is tested without a repository.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// The trailer that marks a pristine render commit; its value is the tarnwick version.
inline constexpr std::string_view kRenderTrailer = "Tarnwick-Render";

struct RenderCommit {
    std::string commit;
    std::string tree;
    std::optional<std::string> version;  // absent for the first commit of `new`
};

// From `git log --format=%H%x1f%T%x1f%(trailers:key=Tarnwick-Render,valueonly,separator=%x2C)
// %x1e` in topological order: the first commit whose trailer has a value.
std::optional<RenderCommit> latest_render(std::string_view log);

// From `git rev-list --max-parents=0 --format=%H%x1f%T%x1f%s`: the first root commit whose
// subject is "chore: scaffold NAME with tarnwick".
std::optional<RenderCommit> scaffold_root(std::string_view rev_list);

// The objects of `git cat-file --batch`, in request order; a missing one is absent. nullopt
// when the output does not have that shape (count objects, each "OID TYPE SIZE" and its bytes).
std::optional<std::vector<std::optional<std::string>>> cat_file_batch(std::string_view out,
                                                                      std::size_t count);

// From `git status --porcelain=v2 --branch -z`.
struct WorkTreeStatus {
    std::optional<std::string> head;  // absent on an unborn branch
    std::vector<std::string> changed;
};
WorkTreeStatus work_tree_status(std::string_view out);

}  // namespace tarnwick
