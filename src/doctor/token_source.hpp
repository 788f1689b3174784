// Which source `secrets` would take each registry token from, by name only. The lookups of
// src/secrets/ decide; this only names the source whose text gives the same token, so the
// two cannot disagree about whether a token exists. Values never leave these functions.
#pragma once

#include <optional>
#include <string>

namespace tarnwick {

// "$CARGO_REGISTRY_TOKEN", or the path of the credentials file; absent when there is no token.
std::optional<std::string> cargo_token_source();

// "$PYPI_API_TOKEN", "$UV_PUBLISH_TOKEN" or the path of ~/.pypirc; absent when there is none.
// Standard input (--pypi-token-stdin) is not looked at.
std::optional<std::string> pypi_token_source();

}  // namespace tarnwick
