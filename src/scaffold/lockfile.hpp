// Pinning a rendered project's dependencies in Cargo.lock, shared by `new` and `update`.
#pragma once

#include <string>

namespace tarnwick {

// Runs `cargo generate-lockfile` in destination: from cargo's cache first, then from the
// network with cargo's retries off. True when Cargo.lock exists afterwards. A missing cargo or
// a failed run is no error: the caller decides what a project without a fresh lock means.
bool generate_lockfile(const std::string& destination);

}  // namespace tarnwick
