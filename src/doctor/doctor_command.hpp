// The `doctor` command: says, before anything changes, what `new`, `secrets` and `update`
// would be missing on this machine, for a repository, and in a project directory. It only
// reads: version queries, `git config`, `gh auth status`, `gh repo view`, files.
#pragma once

#include <optional>
#include <string>

#include "core/output_format.hpp"
#include "core/product.hpp"
#include "core/result.hpp"

namespace tarnwick {

// The arguments of `doctor`, as the command line gives them.
struct Doctor {
    std::optional<std::string> repo;  // owner/name or a bare name; absent: no repository items
    std::string owner = std::string(kDefaultOwner);
    std::optional<std::string> tap;
    std::string project = ".";  // any bytes; its .github/workflows are judged when present
};

// The rendered report, ending in one line feed. Fails only on a malformed REPO or --tap.
Result<std::string> run_doctor(const Doctor& args, OutputFormat format);

}  // namespace tarnwick
