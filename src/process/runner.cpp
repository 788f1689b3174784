#include "process/runner.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <utility>

#include "core/redaction.hpp"
#include "core/signal_wait.hpp"
#include "core/termination_signals.hpp"
#include "core/text.hpp"
#include "process/child_hook.hpp"
#include "process/spawn_platform.hpp"

extern char** environ;

namespace tarnwick {
namespace {

struct Pipe {
    Fd read;
    Fd write;
};

OsStatus make_pipe(Pipe& p) {
    int fds[2];
    TARNWICK_TRY(make_cloexec_pipe(fds));
    p.read = Fd(fds[0]);
    p.write = Fd(fds[1]);
    return Ok{};
}

RunnerIo g_io;

ChildHook& installed_hook() {
    static ChildHook hook;
    return hook;
}

// ---- The environment -------------------------------------------------------------------

// The NAME=value entries are well formed: one without "=" names no variable to replace.
bool well_formed_env(const std::vector<std::string>& extra_env) {
    return std::all_of(extra_env.begin(), extra_env.end(), [](const std::string& entry) {
        const auto eq = entry.find('=');
        return eq != std::string::npos && eq > 0;
    });
}

// The inherited environment, with each NAME=value of extra_env replacing NAME; the entries
// point into environ and extra_env, and the list ends in a null.
std::vector<char*> child_environment(const std::vector<std::string>& extra_env) {
    std::vector<char*> envp;
    for (char** e = environ; *e; ++e) {
        const std::string_view entry(*e);
        const bool replaced = std::any_of(extra_env.begin(), extra_env.end(), [&](const auto& x) {
            const auto name_end = x.find('=');
            return entry.substr(0, name_end + 1) == std::string_view(x).substr(0, name_end + 1);
        });
        if (!replaced) envp.push_back(*e);
    }
    for (const auto& x : extra_env) envp.push_back(const_cast<char*>(x.c_str()));
    envp.push_back(nullptr);
    return envp;
}

// ---- The spawn set-up ------------------------------------------------------------------

// Spawn attributes and file actions, released on every path out.
struct SpawnSetup {
    posix_spawnattr_t attr;
    posix_spawn_file_actions_t actions;
    bool attr_made = false;
    bool actions_made = false;
    SpawnSetup() = default;
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
    ~SpawnSetup() {
        if (actions_made) posix_spawn_file_actions_destroy(&actions);
        if (attr_made) posix_spawnattr_destroy(&attr);
    }
};

// The posix_spawn_* calls return their error instead of setting errno.
OsStatus checked(int rc) {
    if (rc != 0) return OsError{rc};
    return Ok{};
}

// The child's working directory, opened here so that one that cannot be entered is reported
// as such, not as a program that cannot be run (the child only changes to it).
Result<Fd, OsError> open_working_directory(const std::string& dir) {
    const std::string context = "cannot change to " + tarnwick::quoted(dir);
    auto fd = open_fd(dir, working_directory_open_flags());
    if (!fd) return OsError{fd.error().code, context};
    if (::faccessat(fd->get(), ".", X_OK, AT_EACCESS) != 0) return OsError{errno, context};
    return fd;
}

// The child's descriptors (stdin: stdin_fd, or the null device when it is -1), its own
// process group, the default SIGPIPE the parent ignores, an empty signal mask (the parent's
// blocks the termination signals while it catches them) and, when dir_fd is open, its
// working directory (added by spawn_in_directory). Every step is checked: a child set up
// halfway never starts.
OsStatus prepare_spawn(SpawnSetup& setup, int stdin_fd, int stdout_fd, int stderr_fd) {
    TARNWICK_TRY(checked(posix_spawnattr_init(&setup.attr)));
    setup.attr_made = true;
    TARNWICK_TRY(checked(posix_spawn_file_actions_init(&setup.actions)));
    setup.actions_made = true;

    sigset_t defaults, empty;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigemptyset(&empty);
    TARNWICK_TRY(checked(posix_spawnattr_setsigdefault(&setup.attr, &defaults)));
    TARNWICK_TRY(checked(posix_spawnattr_setsigmask(&setup.attr, &empty)));
    TARNWICK_TRY(checked(posix_spawnattr_setpgroup(&setup.attr, 0)));
    const short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP;
    TARNWICK_TRY(checked(posix_spawnattr_setflags(&setup.attr, flags | platform_spawn_flags())));

    posix_spawn_file_actions_t* actions = &setup.actions;
    if (stdin_fd >= 0) {
        TARNWICK_TRY(checked(g_io.adddup2(actions, stdin_fd, 0)));
    } else {
        TARNWICK_TRY(
            checked(posix_spawn_file_actions_addopen(actions, 0, "/dev/null", O_RDONLY, 0)));
    }
    TARNWICK_TRY(checked(g_io.adddup2(actions, stdout_fd, 1)));
    TARNWICK_TRY(checked(g_io.adddup2(actions, stderr_fd, 2)));
    return Ok{};
}

// ---- The child and its process group ---------------------------------------------------

// A started child: the leader of its own process group, and a descriptor that becomes
// readable when it exits (absent where the kernel has none; its exit is then polled for).
struct Child {
    pid_t pid = 0;
    Fd pidfd;
};

constexpr timespec kStep{0, 10'000'000};  // 10 ms
constexpr int kGraceSteps = 100;          // 1 s for a stopped group to end by itself

// True once the child has exited (it is not reaped), false when it is still running after
// about steps * kStep. Signals stay as they are: a wait for the end of a stop is not cut short.
bool exits_within(const Child& child, int steps) {
    for (int i = 0; i < steps; ++i) {
        if (child.pidfd.open()) {
            pollfd p{child.pidfd.get(), POLLIN, 0};
            if (poll_with_mask(&p, 1, &kStep, nullptr) > 0) return true;
            continue;
        }
        siginfo_t info{};
        if (::waitid(P_PID, static_cast<id_t>(child.pid), &info, WEXITED | WNOHANG | WNOWAIT) !=
            0) {
            return errno != EINTR;
        }
        if (info.si_pid == child.pid) return true;
        ::nanosleep(&kStep, nullptr);
    }
    return false;
}

int reap(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

// Stops the child's whole process group for a recorded termination signal: asked first, so
// it can clean up after itself, then, once the child has ended or the grace period is over,
// whatever is left of the group (the child, or what it started and left behind) is killed.
// The child is reaped last, so its id cannot name another group meanwhile.
void stop_group(const Child& child) {
    ::kill(-child.pid, SIGTERM);
    (void)exits_within(child, kGraceSteps);
    ::kill(-child.pid, SIGKILL);
    (void)reap(child.pid);
}

// Until released, kills the child's group and reaps the child on the way out: a child whose
// output can no longer be drained might never end, and one never waited for would stay a
// zombie.
class ReapUnlessReleased {
public:
    explicit ReapUnlessReleased(pid_t pid) : pid_(pid) {}
    ReapUnlessReleased(const ReapUnlessReleased&) = delete;
    ReapUnlessReleased& operator=(const ReapUnlessReleased&) = delete;
    ~ReapUnlessReleased() {
        if (pid_ == 0) return;
        const int saved = errno;
        ::kill(-pid_, SIGKILL);
        (void)reap(pid_);
        errno = saved;
    }
    void release() { pid_ = 0; }

private:
    pid_t pid_;
};

// What a wait that a signal cut short does: a recorded termination signal stops the child's
// group and ends the run with EINTR; any other signal only restarts the wait.
bool stopped_for_signal(const Child& child, ReapUnlessReleased& reap_guard) {
    if (caught_termination_signal() == 0) return false;
    stop_group(child);
    reap_guard.release();
    return true;
}

// ---- Limits ----------------------------------------------------------------------------

// The end of a child's time, on the monotonic clock; unset for a limit of zero.
class Deadline {
public:
    explicit Deadline(int timeout_ms) {
        if (timeout_ms <= 0) return;
        ::clock_gettime(CLOCK_MONOTONIC, &end_);
        const long ns = end_.tv_nsec + (timeout_ms % 1000) * 1'000'000L;
        end_.tv_sec += timeout_ms / 1000 + ns / 1'000'000'000L;
        end_.tv_nsec = ns % 1'000'000'000L;
        set_ = true;
    }
    bool set() const { return set_; }
    // The time left in left; false once the deadline has passed.
    bool remaining(timespec& left) const {
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        long sec = end_.tv_sec - now.tv_sec;
        long ns = end_.tv_nsec - now.tv_nsec;
        if (ns < 0) {
            ns += 1'000'000'000L;
            --sec;
        }
        if (sec < 0 || (sec == 0 && ns == 0)) return false;
        left = {sec, ns};
        return true;
    }

private:
    timespec end_{};
    bool set_ = false;
};

RunLimits& default_limits() {
    static RunLimits limits;
    return limits;
}

bool unbounded(const RunLimits& limits) {
    return limits.timeout_ms == 0 && limits.output_cap == 0;
}

// The poll timeout left before the deadline (null: none); false once it has passed.
bool time_left(const Deadline& deadline, timespec& left, const timespec*& timeout) {
    timeout = nullptr;
    if (!deadline.set()) return true;
    if (!deadline.remaining(left)) return false;
    timeout = &left;
    return true;
}

// ---- The I/O pump ----------------------------------------------------------------------

// The parent's ends of the child's pipes; each is closed once its side is done.
struct ChildPipes {
    Fd in;   // absent without input
    Fd out;  // stdout
    Fd err;  // stderr
};

struct Drained {
    std::string out, err;
    bool timed_out = false;  // the deadline passed: the child's group was killed
    bool cut = false;        // more output than the cap; the rest was read and dropped
};

// Past the deadline, the child's group is killed; the child is reaped by the wait.
void kill_for_time(const Child& child, Drained& drained) {
    drained.timed_out = true;
    ::kill(-child.pid, SIGKILL);
}

// Feeds the input and drains both outputs together until every pipe is closed. Waits with the
// termination signals unblocked; one recorded stops the child's group (EINTR).
OsStatus pump(const Child& child, ChildPipes& pipes, std::string_view pending, Drained& drained,
              ReapUnlessReleased& reap_guard, const RunLimits& limits, const Deadline& deadline) {
    if (pipes.in.open()) {
        ::fcntl(pipes.in.get(), F_SETFL, ::fcntl(pipes.in.get(), F_GETFL) | O_NONBLOCK);
        if (pending.empty()) pipes.in.reset();
    }
    char buf[65536];
    while (pipes.out.open() || pipes.err.open() || pipes.in.open()) {
        pollfd fds[3];
        nfds_t n = 0;
        Fd* owners[3];
        std::string* sinks[3];
        for (auto [fd, sink] :
             {std::pair{&pipes.out, &drained.out}, std::pair{&pipes.err, &drained.err}}) {
            if (!fd->open()) continue;
            fds[n] = {fd->get(), POLLIN, 0};
            owners[n] = fd;
            sinks[n++] = sink;
        }
        if (pipes.in.open()) {
            fds[n] = {pipes.in.get(), POLLOUT, 0};
            owners[n] = &pipes.in;
            sinks[n++] = nullptr;
        }
        timespec left{};
        const timespec* timeout = nullptr;
        if (!time_left(deadline, left, timeout)) {
            kill_for_time(child, drained);
            return Ok{};
        }
        const int ready = g_io.poll(fds, n, timeout, termination_wait_mask());
        if (ready < 0) {
            if (errno != EINTR) return OsError{errno};
            if (stopped_for_signal(child, reap_guard)) return OsError{EINTR};
            continue;
        }
        if (ready == 0) continue;  // the deadline, seen at the top
        for (nfds_t i = 0; i < n; ++i) {
            if (fds[i].revents == 0) continue;
            if (sinks[i] == nullptr) {
                ssize_t w = g_io.write(fds[i].fd, pending.data(), pending.size());
                if (w < 0) {
                    if (errno == EINTR || errno == EAGAIN) continue;
                    if (errno == EPIPE) {
                        // The child stopped reading: what it says about that, and its exit,
                        // are the report, so stop feeding it and keep draining.
                        owners[i]->reset();
                        pending = {};
                        continue;
                    }
                    return OsError{errno};
                }
                if (w == 0) return OsError{OsError::kWriteZero};
                pending.remove_prefix(static_cast<std::size_t>(w));
                if (pending.empty()) owners[i]->reset();
                continue;
            }
            ssize_t r = g_io.read(fds[i].fd, buf, sizeof buf);
            if (r < 0) {
                if (errno == EINTR || errno == EAGAIN) continue;
                // Not the end of the output: what was read so far is not the child's report.
                return OsError{errno};
            } else if (r == 0) {
                owners[i]->reset();
            } else {
                // Past the cap the output is still read, so the child is not blocked on a full
                // pipe, but no longer kept.
                std::size_t keep = static_cast<std::size_t>(r);
                if (limits.output_cap != 0) {
                    const std::size_t room =
                        limits.output_cap - std::min(limits.output_cap, sinks[i]->size());
                    if (keep > room) {
                        keep = room;
                        drained.cut = true;
                    }
                }
                sinks[i]->append(buf, keep);
            }
        }
    }
    return Ok{};
}

// ---- The wait --------------------------------------------------------------------------

// Waits for the child to exit and reaps it; its wait status. A child may close its output
// long before it ends, so this wait, too, ends at once for a recorded termination signal.
Result<int, OsError> wait_for_exit(const Child& child, ReapUnlessReleased& reap_guard,
                                   const Deadline& deadline, Drained& drained) {
    timespec backoff{0, 1'000'000};
    while (!drained.timed_out) {
        timespec left{};
        const timespec* timeout = nullptr;
        if (!time_left(deadline, left, timeout)) {
            kill_for_time(child, drained);
            break;
        }
        if (child.pidfd.open()) {
            pollfd p{child.pidfd.get(), POLLIN, 0};
            const int ready = g_io.poll(&p, 1, timeout, termination_wait_mask());
            if (ready > 0) break;
            if (ready == 0) continue;  // the deadline, seen at the top
        } else {
            int status = 0;
            const pid_t done = ::waitpid(child.pid, &status, WNOHANG);
            if (done == child.pid) {
                reap_guard.release();
                return status;
            }
            if (done < 0 && errno != EINTR) break;  // reported by the waitpid below
            if (g_io.poll(nullptr, 0, &backoff, termination_wait_mask()) == 0) {
                backoff.tv_nsec = std::min<long>(backoff.tv_nsec * 2, 50'000'000);
                continue;
            }
        }
        if (errno != EINTR) return OsError{errno};
        if (stopped_for_signal(child, reap_guard)) return OsError{EINTR};
    }
    int status = 0;
    while (::waitpid(child.pid, &status, 0) < 0) {
        if (errno == EINTR) continue;
        // The pid is no longer known to be our child: it must not be signalled.
        const int error = errno;
        reap_guard.release();
        return OsError{error};
    }
    reap_guard.release();
    return status;
}

// The report of a child that ended with these outputs (already within the cap) and this end.
ChildOutput reported(std::string_view out, std::string_view err, int exit_code, int signal,
                     bool timed_out, bool cut) {
    // Well-formed text, most tools' output, is taken as it is: decoding is for the rest.
    auto text = [](std::string_view bytes, bool utf8) {
        return utf8 ? std::string(bytes) : decode_lossy(bytes);
    };
    ChildOutput result;
    result.stdout_was_utf8 = is_valid_utf8(out);
    result.stdout_text = text(out, result.stdout_was_utf8);
    result.stderr_text = text(err, is_valid_utf8(err));
    result.success = exit_code == 0 && signal == 0 && !timed_out;
    result.signal = signal;
    result.exit_code = signal == 0 ? exit_code : -1;
    result.timed_out = timed_out;
    result.output_cut = cut;
    return result;
}

Result<ChildOutput, OsError> spawn_and_wait(const ChildCall& call) {
    const auto& [program, args, input, dir, extra_env, limits] = call;
    if (!well_formed_env(extra_env)) return OsError{EINVAL};
    Fd dir_fd;
    if (dir) {
        TARNWICK_TRY_ASSIGN(auto opened, open_working_directory(*dir));
        dir_fd = std::move(opened);
    }
    Pipe in, out, err;
    TARNWICK_TRY(make_pipe(out));
    TARNWICK_TRY(make_pipe(err));
    if (input) TARNWICK_TRY(make_pipe(in));

    SpawnSetup setup;
    TARNWICK_TRY(
        prepare_spawn(setup, input ? in.read.get() : -1, out.write.get(), err.write.get()));

    std::vector<char*> argv;
    argv.reserve(args.size() + 2);
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp = child_environment(extra_env);

    // Once a termination signal has arrived the run is being abandoned: nothing new starts,
    // not even for one that is still blocked and so not yet recorded.
    if (take_pending_termination_signal() != 0) return OsError{EINTR};
    Child child;
    int rc = spawn_in_directory(&child.pid, program.c_str(), &setup.actions, &setup.attr,
                                argv.data(), envp.data(), dir_fd.get());
    if (rc != 0) return OsError{rc};
    ReapUnlessReleased reap_guard(child.pid);
    const int pidfd = g_io.pidfd_open(child.pid);
    if (pidfd >= 0) child.pidfd = Fd(pidfd);

    ChildPipes pipes{std::move(in.write), std::move(out.read), std::move(err.read)};
    in.read.reset();
    out.write.reset();
    err.write.reset();
    dir_fd.reset();

    const Deadline deadline(limits.timeout_ms);
    Drained drained;
    TARNWICK_TRY(pump(child, pipes, input ? std::string_view(*input) : std::string_view(), drained,
                      reap_guard, limits, deadline));
    auto status = wait_for_exit(child, reap_guard, deadline, drained);
    TARNWICK_TRY(status);

    const bool exited = WIFEXITED(*status);
    return reported(drained.out, drained.err, exited ? WEXITSTATUS(*status) : -1,
                    WIFSIGNALED(*status) ? WTERMSIG(*status) : 0, drained.timed_out, drained.cut);
}

}  // namespace

RunLimits set_default_run_limits(RunLimits limits) {
    return std::exchange(default_limits(), limits);
}

RunnerIo set_runner_io(RunnerIo io) {
    return std::exchange(g_io, io);
}

ChildHook set_child_hook(ChildHook hook) {
    return std::exchange(installed_hook(), std::move(hook));
}

ChildOutput child_output(const ChildEnd& end, const RunLimits& limits) {
    const std::size_t cap = limits.output_cap == 0 ? std::string::npos : limits.output_cap;
    const bool cut = end.out.size() > cap || end.err.size() > cap;
    const int signal = end.timed_out && end.signal == 0 ? SIGKILL : end.signal;
    return reported(std::string_view(end.out).substr(0, cap),
                    std::string_view(end.err).substr(0, cap), end.exit_code, signal, end.timed_out,
                    cut);
}

Result<ChildOutput, OsError> run_child(ChildCall call) {
    if (unbounded(call.limits)) call.limits = default_limits();
    if (const ChildHook& hook = installed_hook()) return hook(call);
    return spawn_and_wait(call);
}

Result<ChildOutput> run_tool(std::string_view tool, const std::vector<std::string>& args,
                             std::optional<std::string_view> input) {
    ChildCall call{.program = std::string(tool), .args = args};
    if (input) call.input = std::string(*input);
    auto run = run_child(std::move(call));
    if (!run) return CliError::backend(tool, run.error().text());
    return std::move(run).value();
}

Result<ChildOutput> run_gh(const std::vector<std::string>& args) {
    return run_tool("gh", args);
}

Result<ChildOutput> run_tool_checked(std::string_view tool, const std::vector<std::string>& args,
                                     std::optional<std::string_view> input) {
    TARNWICK_TRY_ASSIGN(auto run, run_tool(tool, args, input));
    if (!run.success) return CliError::backend(tool, failure_detail(run));
    return run;
}

Result<ChildOutput> run_gh_checked(const std::vector<std::string>& args,
                                   std::optional<std::string_view> input) {
    return run_tool_checked("gh", args, input);
}

Result<ChildOutput> run_git_unchecked(const GitCall& call, const std::vector<std::string>& args,
                                      std::optional<std::string_view> input) {
    std::vector<std::string> env = call.env;
    env.emplace_back("GIT_LITERAL_PATHSPECS=1");
    ChildCall child{.program = "git", .args = args, .dir = call.dir, .extra_env = std::move(env)};
    if (input) child.input = std::string(*input);
    auto run = run_child(std::move(child));
    if (!run) return CliError::git("could not run git: " + run.error().text());
    return std::move(run).value();
}

Result<std::string> git_stdout(const GitCall& call, const std::vector<std::string>& args,
                               std::optional<std::string_view> input) {
    TARNWICK_TRY_ASSIGN(auto run, run_git_unchecked(call, args, input));
    if (!run.success) return git_failure(run);
    return std::move(run.stdout_text);
}

Status run_git(const std::string& dir, const std::vector<std::string>& args) {
    TARNWICK_TRY(git_stdout({dir, {}}, args));
    return Ok{};
}

namespace {

// A child's stderr goes into one line of JSON; a child that writes megabytes of it must not
// make a message of that size. The end is kept: that is where a tool says what went wrong.
constexpr std::size_t kStderrShown = 4096;

std::string shown_stderr(std::string_view text, std::string_view stream = "stderr") {
    std::string shown(trim(redact(text)));
    if (shown.size() <= kStderrShown) return shown;
    std::size_t cut = shown.size() - kStderrShown;
    while (cut < shown.size() && (static_cast<unsigned char>(shown[cut]) & 0xC0) == 0x80) ++cut;
    return std::string("[")
        .append(std::to_string(cut))
        .append(" earlier bytes of ")
        .append(stream)
        .append(" cut] ")
        .append(trim_start(std::string_view(shown).substr(cut)));
}

}  // namespace

std::string signal_name(int signal) {
    // By name, not by number: the numbers differ between systems (SIGBUS is 7 on Linux, 10 on
    // macOS), and glibc's own table of names came only with 2.32.
    static constexpr struct {
        int number;
        const char* name;
    } kNames[] = {
        {SIGHUP, "SIGHUP"},       {SIGINT, "SIGINT"},   {SIGQUIT, "SIGQUIT"},
        {SIGILL, "SIGILL"},       {SIGTRAP, "SIGTRAP"}, {SIGABRT, "SIGABRT"},
        {SIGBUS, "SIGBUS"},       {SIGFPE, "SIGFPE"},   {SIGKILL, "SIGKILL"},
        {SIGUSR1, "SIGUSR1"},     {SIGSEGV, "SIGSEGV"}, {SIGUSR2, "SIGUSR2"},
        {SIGPIPE, "SIGPIPE"},     {SIGALRM, "SIGALRM"}, {SIGTERM, "SIGTERM"},
        {SIGCHLD, "SIGCHLD"},     {SIGCONT, "SIGCONT"}, {SIGSTOP, "SIGSTOP"},
        {SIGTSTP, "SIGTSTP"},     {SIGTTIN, "SIGTTIN"}, {SIGTTOU, "SIGTTOU"},
        {SIGURG, "SIGURG"},       {SIGXCPU, "SIGXCPU"}, {SIGXFSZ, "SIGXFSZ"},
        {SIGVTALRM, "SIGVTALRM"}, {SIGPROF, "SIGPROF"}, {SIGWINCH, "SIGWINCH"},
        {SIGSYS, "SIGSYS"},       {SIGIO, "SIGIO"},
    };
    for (const auto& [number, name] : kNames) {
        if (number == signal) return name;
    }
    return "signal " + std::to_string(signal);
}

namespace {

std::string with_signal(std::string detail, int signal) {
    if (signal == 0) return detail;
    const std::string killed = "killed by signal " + signal_name(signal);
    return detail.empty() ? killed : detail + " (" + killed + ")";
}

}  // namespace

std::string failure_detail(const ChildOutput& run) {
    return with_signal(shown_stderr(run.stderr_text), run.signal);
}

CliError git_failure(const ChildOutput& run) {
    std::string said = shown_stderr(run.stderr_text);
    if (said.empty()) said = shown_stderr(run.stdout_text, "stdout");
    if (said.empty() && run.signal == 0) {
        said = "exited with status " + std::to_string(run.exit_code) + " and printed nothing";
    }
    return CliError::git(with_signal(std::move(said), run.signal));
}

CliError tool_error(std::string_view tool, std::string_view text) {
    return CliError::backend(tool, shown_stderr(text));
}

}  // namespace tarnwick
