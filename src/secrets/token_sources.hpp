// Where the two registry tokens come from: the environment, the local credential files, or
// (for PyPI, on request) standard input. Lookups only read; a missing source means no token.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "core/result.hpp"

namespace tarnwick {

using Token = std::optional<std::string>;

// A token a lookup found, with where it found it: "$NAME" for a variable, the path (in display
// form) for a file, "standard input".
struct FoundToken {
    std::string value;
    std::string source;
    bool operator==(const FoundToken&) const = default;
};

// The variables each lookup reads, in its order, before its files.
inline constexpr std::array<const char*, 1> kCargoTokenVariables = {"CARGO_REGISTRY_TOKEN"};
inline constexpr std::array<const char*, 2> kPypiTokenVariables = {"PYPI_API_TOKEN",
                                                                   "UV_PUBLISH_TOKEN"};

// Every place a lookup reads, in its order, as messages name them: "$CARGO_REGISTRY_TOKEN or
// the credentials file in $CARGO_HOME or ~/.cargo"; "$PYPI_API_TOKEN, $UV_PUBLISH_TOKEN or
// ~/.pypirc".
std::string cargo_token_places();
std::string pypi_token_places();

// The crates token in a cargo credentials file: a `token` under [registry] or
// [registries.crates-io] wins at once, else the first `token` found anywhere.
Token scan_cargo_credentials(std::string_view text);

// The `password` of the [pypi] section of a .pypirc.
Token scan_pypirc(std::string_view text);

// CARGO_REGISTRY_TOKEN, else credentials.toml, else credentials, under CARGO_HOME or ~/.cargo.
// Never fails. A credentials file that is not a regular file or is over 1 MiB is unreadable.
std::optional<FoundToken> cargo_token();

// With from_stdin: all of stdin, trimmed (empty input means no token, nothing else is
// consulted); a failed read, more than 1 MiB, or bytes that are not UTF-8 are an io error.
// Otherwise PYPI_API_TOKEN, UV_PUBLISH_TOKEN, then ~/.pypirc (read like the credentials file).
Result<std::optional<FoundToken>> pypi_token(bool from_stdin);

}  // namespace tarnwick
