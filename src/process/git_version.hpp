// git's version, and the oldest one `update` needs: `git merge-tree --write-tree`, which its dry
// run merges with, arrived in git 2.38.0 (dated in docs/platform.md).
#pragma once

#include <optional>
#include <string_view>

#include "core/result.hpp"
#include "process/gh_version.hpp"

namespace tarnwick {

using GitVersion = GhVersion;

inline constexpr GitVersion kGitForUpdate{2, 38, 0};

// The version in the first line of `git --version` ("git version 2.39.5", "git version 2.39.3
// (Apple Git-145)", "git version 2.45.1.windows.1"); absent when the line is not of this form.
std::optional<GitVersion> parse_git_version(std::string_view version_output);

// Ok when the installed git is at least `minimum`; else a git error naming both versions and
// what needs the newer one. A git that cannot start or answers otherwise is a git error too.
Status require_git(GitVersion minimum, std::string_view needed_by);

}  // namespace tarnwick
