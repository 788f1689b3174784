// Where the two registry tokens come from: the environment, the local credential files, or
// (for PyPI, on request) standard input. Lookups only read; a missing source means no token.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/result.hpp"

namespace tarnwick {

using Token = std::optional<std::string>;

// The crates token in a cargo credentials file: a `token` under [registry] or
// [registries.crates-io] wins at once, else the first `token` found anywhere.
Token scan_cargo_credentials(std::string_view text);

// The `password` of the [pypi] section of a .pypirc.
Token scan_pypirc(std::string_view text);

// CARGO_REGISTRY_TOKEN, else the credentials file under CARGO_HOME or ~/.cargo. Never fails.
// A credentials file that is not a regular file or is over 1 MiB is unreadable.
Token cargo_token();

// With from_stdin: all of stdin, trimmed (empty input means no token, nothing else is
// consulted); a failed read, more than 1 MiB, or bytes that are not UTF-8 are an io error.
// Otherwise PYPI_API_TOKEN, UV_PUBLISH_TOKEN, then ~/.pypirc (read like the credentials file).
Result<Token> pypi_token(bool from_stdin);

}  // namespace tarnwick
