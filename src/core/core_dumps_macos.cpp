#if defined(__APPLE__)

#include <sys/resource.h>

#include <cerrno>

#include "core/core_dumps.hpp"

namespace tarnwick {

// macOS has no "not dumpable" mark: the core-size limits alone keep a core file from being
// written, by this process and by every child started after this.
OsStatus disable_core_dumps() {
    const rlimit none{0, 0};
    if (::setrlimit(RLIMIT_CORE, &none) != 0) return OsError{errno};
    return Ok{};
}

}  // namespace tarnwick

#endif
