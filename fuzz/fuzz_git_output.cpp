// The readers of git's -z output (`status --porcelain=v2`, `ls-files -v`, `ls-files -u` and
// merge-tree's conflicted-file records): every path they give back is a piece of the input, the
// sorted lists are sorted, and every conflict has one of git's kind names.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/text.hpp"
#include "fuzz_check.hpp"
#include "update/git_output.hpp"

using fuzz_check::in;
using fuzz_check::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view out(reinterpret_cast<const char*>(data), size);

    const tarnwick::WorkTreeStatus status = tarnwick::work_tree_status(out);
    if (status.head) require(in(out, *status.head));
    if (status.branch) require(in(out, *status.branch));
    for (const std::string& path : status.changed) require(in(out, path));

    const auto hidden = tarnwick::hidden_from_status(out);
    require(std::is_sorted(hidden.begin(), hidden.end()));
    for (const std::string& path : hidden) require(in(out, path));

    if (const auto unmerged = tarnwick::unmerged_paths(tarnwick::split(out, '\0').strings())) {
        constexpr std::string_view kKinds[] = {"both modified", "both added",  "deleted by them",
                                               "deleted by us", "added by us", "added by them",
                                               "both deleted"};
        for (std::size_t i = 0; i < unmerged->size(); ++i) {
            const auto& entry = (*unmerged)[i];
            require(in(out, entry.path));
            require(std::find(std::begin(kKinds), std::end(kKinds), entry.kind) !=
                    std::end(kKinds));
            if (i > 0) require((*unmerged)[i - 1].path < entry.path);
        }
    }
    return 0;
}
