// Whether a crate name on the crates registry and a package name on PyPI are free, taken by
// another project (the first release would fail to publish there) or already this project's.
// The registries are asked over HTTPS through curl with a short time limit; an unreachable
// registry is `Unknown`, never a finding against the project.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

enum class NameState { Free, Ours, Taken, Unknown };

struct NameLookup {
    NameState state = NameState::Unknown;
    std::string detail;
};

// The base addresses, each overridable by an environment variable for a mirror (and tests):
// TARNWICK_CRATES_INDEX_URL (https://index.crates.io), TARNWICK_CRATES_API_URL
// (https://crates.io/api/v1) and TARNWICK_PYPI_URL (https://pypi.org).
std::string crates_index_url();
std::string crates_api_url();
std::string pypi_url();

// The sparse index path of a crate: "1/a", "2/ab", "3/a/abc", "se/rd/serde" (lower case).
std::string crate_index_path(std::string_view name);

// PyPI's normalised form of a project name: lower case, each run of "-", "_", "." one "-".
std::string pypi_normalized(std::string_view name);

// Whether two repository addresses name the same repository: case, a trailing "/" or ".git",
// and http against https do not count.
bool same_repository(std::string_view a, std::string_view b);

// The crates registry: the name and the spellings it counts as the same ("-" for "_" and the
// other way) in the sparse index; a name that is there is this project's when the registry's
// `repository` of the crate is `repository`.
NameLookup look_up_crate(std::string_view name, const std::optional<std::string>& repository);

// PyPI's JSON API: 404 is free; otherwise this project's when one of the project's URLs is
// `repository`.
NameLookup look_up_pypi(std::string_view name, const std::optional<std::string>& repository);

}  // namespace tarnwick
