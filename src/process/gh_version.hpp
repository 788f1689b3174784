// The GitHub CLI's version, and the oldest one each use of it needs. An older gh fails
// part-way with its own "unknown flag" message, after other calls have changed things, so
// the version is asked before anything else.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/result.hpp"

namespace tarnwick {

struct GhVersion {
    int major = 0;
    int minor = 0;
    int patch = 0;
    friend auto operator<=>(const GhVersion&, const GhVersion&) = default;
};

// What each use needs (dated in docs/platform.md): `--json` on `gh secret list` and on
// `gh repo deploy-key list` arrived in 2.36.0; `gh repo create --source --push` in 2.3.0.
inline constexpr GhVersion kGhForSecrets{2, 36, 0};
inline constexpr GhVersion kGhForRepoCreate{2, 3, 0};

// The version in the first line of `gh --version` ("gh version 2.23.0+dfsg1 (2023-01-23)");
// a build suffix after "+" or "-" is ignored. Absent when that line is not of this form.
std::optional<GhVersion> parse_gh_version(std::string_view version_output);

// MAJOR.MINOR.PATCH at the start of text, followed by nothing, a space, or a suffix after "+"
// or "-" (which is ignored); absent otherwise.
std::optional<GhVersion> parse_version(std::string_view text);

std::string to_string(GhVersion version);

// Runs `gh --version`: the installed version, or a backend error when gh cannot be started,
// fails, or answers with something that is not a version.
Result<GhVersion> installed_gh_version();

// Ok when the installed gh is at least `minimum`; else a backend error that names both
// versions, what needs the newer one, and how to upgrade.
Status require_gh(GhVersion minimum, std::string_view needed_by);

}  // namespace tarnwick
