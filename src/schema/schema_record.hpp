// The record of `schema`, which takes no arguments of its own.
#pragma once

namespace tarnwick {

struct Schema {};

}  // namespace tarnwick
