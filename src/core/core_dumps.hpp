// Core dumps off for the rest of the process: a run that holds a private key or a token must
// not leave it in a core file when a signal with a core action (SIGQUIT, SIGABRT) ends it.
#pragma once

#include "core/io.hpp"

namespace tarnwick {

// Marks the process not dumpable and sets both core-size limits to 0; children started after
// this inherit the limits. The error is the first call that failed.
OsStatus disable_core_dumps();

}  // namespace tarnwick
