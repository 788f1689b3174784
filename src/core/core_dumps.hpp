// Core dumps off for the rest of the process: a run that holds a private key or a token must
// not leave it in a core file when a signal with a core action (SIGQUIT, SIGABRT) ends it.
#pragma once

#include "core/io.hpp"

namespace tarnwick {

// Sets both core-size limits to 0, and on Linux marks the process not dumpable as well (which
// also keeps other processes of the user from reading its memory); children started after this
// inherit the limits. The error is the first call that failed.
OsStatus disable_core_dumps();

}  // namespace tarnwick
