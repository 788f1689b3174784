// Whether a process the test started (or one its child started) is still there: read from
// /proc (macOS: sysctl), so a test can tell that a stop reached a grandchild it has no handle on.
#pragma once

#include <sys/types.h>

namespace tarnwick::testing {

// Running or stopped: a zombie (already dead, waiting for its new parent) does not count.
bool alive(pid_t pid);

// A process sent SIGKILL is gone a moment later, not when kill returns: waits for that, at most
// 10 s (a sleep that nobody stopped is still there then). True when it ended; otherwise it is
// killed now, so that it outlives no test, and the answer is false.
bool ends_soon(pid_t pid);

// Whether this process has a child that has exited and not yet been waited for.
bool has_unreaped_child();

}  // namespace tarnwick::testing
