#include "support/processes.hpp"

#include <signal.h>
#include <sys/wait.h>
#if defined(__APPLE__)
#include <sys/sysctl.h>
#endif
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>

namespace tarnwick::testing {

#if defined(__APPLE__)
bool alive(pid_t pid) {
    int query[] = {CTL_KERN, KERN_PROC, KERN_PROC_PID, pid};
    kinfo_proc info{};
    std::size_t size = sizeof info;
    if (::sysctl(query, 4, &info, &size, nullptr, 0) != 0 || size == 0) return false;
    return info.kp_proc.p_stat != SZOMB;
}
#else
bool alive(pid_t pid) {
    // Read as a stream: the file may go away between opening and reading it.
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    const std::string text((std::istreambuf_iterator<char>(stat)),
                           std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] != 'Z' &&
           text[close + 2] != 'X';
}
#endif

bool ends_soon(pid_t pid) {
    for (int i = 0; i < 1000 && alive(pid); ++i) ::usleep(10000);
    if (!alive(pid)) return true;
    ::kill(pid, SIGKILL);
    return false;
}

bool has_unreaped_child() {
    siginfo_t info{};
    return ::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid != 0;
}

}  // namespace tarnwick::testing
