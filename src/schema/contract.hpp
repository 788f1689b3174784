// The program's own machine-readable contract, printed by `tarnwick schema`.
#pragma once

#include "core/json.hpp"

namespace tarnwick {

// The contract document; Json keeps keys in byte order at every level.
Json contract();

}  // namespace tarnwick
