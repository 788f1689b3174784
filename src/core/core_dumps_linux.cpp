#if defined(__linux__)

#include <sys/prctl.h>
#include <sys/resource.h>

#include <cerrno>

#include "core/core_dumps.hpp"

namespace tarnwick {

OsStatus disable_core_dumps() {
    if (::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) != 0) return OsError{errno};
    const rlimit none{0, 0};
    if (::setrlimit(RLIMIT_CORE, &none) != 0) return OsError{errno};
    return Ok{};
}

}  // namespace tarnwick

#endif
