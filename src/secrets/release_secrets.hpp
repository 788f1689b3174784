// The steps of the secrets command: target resolution, the gh checks, setting and listing
// repository secrets, and the two modes (bootstrap or dry run, and verify) that build reports.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/result.hpp"
#include "secrets/secrets_report.hpp"

namespace tarnwick {

// The release secrets, in the order every list follows.
inline constexpr std::string_view kCargoSecret = "CARGO_REGISTRY_TOKEN";
inline constexpr std::string_view kDeployKeySecret = "HOMEBREW_TAP_DEPLOY_KEY";
inline constexpr std::string_view kPypiSecret = "PYPI_API_TOKEN";

// The repository variable that names a tap other than OWNER/homebrew-tap to the release.
inline constexpr std::string_view kTapVariable = "HOMEBREW_TAP";

// repo as given when it holds a "/", else owner/repo.
std::string resolve_target(const std::string& repo, const std::string& owner);

// The text after the last "/" and the text before the first "/" of a target.
std::string_view target_name(std::string_view target);
std::string_view target_owner(std::string_view target);

// gh is logged in, and the target repository and the tap are reachable: checked before
// anything changes, so a missing tap stops the run with nothing set.
Status preflight(const std::string& target, const std::string& tap);

// Sends value to `gh secret set` on stdin; it never appears on a command line.
Status set_secret(const std::string& target, std::string_view name, const std::string& value);

// The names of the secrets the repository holds.
Result<std::vector<std::string>> list_secrets(const std::string& target);

// Sets a repository variable (a value that is no secret) with `gh variable set`.
Status set_variable(const std::string& target, std::string_view name, const std::string& value);

// record_tap: the tap is not the default one, so the release must be told through kTapVariable.
Result<SecretsReport> bootstrap(const std::string& target, const std::string& tap, bool record_tap,
                                const std::optional<std::string>& cargo_token,
                                const std::optional<std::string>& pypi_token, bool dry_run);

Result<VerifyReport> verify(const std::string& target);

}  // namespace tarnwick
