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
#include "core/termination_signals.hpp"
#include "core/text.hpp"
#include "process/command_hook.hpp"

extern char** environ;

namespace tarnwick {
namespace {

struct Pipe {
    Fd read;
    Fd write;
};

OsStatus make_pipe(Pipe& p) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return OsError{errno};
    p.read = Fd(fds[0]);
    p.write = Fd(fds[1]);
    return Ok{};
}

// Spawn attributes and file actions, released on every path out.
struct SpawnSetup {
    posix_spawnattr_t attr;
    posix_spawn_file_actions_t actions;
    SpawnSetup() {
        posix_spawnattr_init(&attr);
        posix_spawn_file_actions_init(&actions);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
    }
};

RunnerIo g_io{::ppoll, ::read, ::write};

// Stops a child for a recorded termination signal and reaps it: asked first, so it can clean
// up after itself, then killed if it has not ended after a grace period.
void stop_child(pid_t pid) {
    ::kill(pid, SIGTERM);
    constexpr int kGraceSteps = 100;
    const timespec step{0, 10'000'000};
    for (int i = 0; i < kGraceSteps; ++i) {
        const pid_t done = ::waitpid(pid, nullptr, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR)) return;
        ::nanosleep(&step, nullptr);
    }
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

// Until released, stops the child and reaps it on the way out: a child whose output can no
// longer be drained might never end, and one never waited for would stay a zombie.
class ReapUnlessReleased {
public:
    explicit ReapUnlessReleased(pid_t pid) : pid_(pid) {}
    ReapUnlessReleased(const ReapUnlessReleased&) = delete;
    ReapUnlessReleased& operator=(const ReapUnlessReleased&) = delete;
    ~ReapUnlessReleased() {
        if (pid_ == 0) return;
        const int saved = errno;
        ::kill(pid_, SIGKILL);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        errno = saved;
    }
    void release() { pid_ = 0; }

private:
    pid_t pid_;
};

// The NAME=value entries are well formed: one without "=" names no variable to replace.
bool well_formed_env(const std::vector<std::string>& extra_env) {
    return std::all_of(extra_env.begin(), extra_env.end(), [](const std::string& entry) {
        const auto eq = entry.find('=');
        return eq != std::string::npos && eq > 0;
    });
}

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

CommandHook& installed_hook() {
    static CommandHook hook;
    return hook;
}

Result<CommandOutput, OsError> spawn_and_wait(std::string_view program,
                                              const std::vector<std::string>& args,
                                              std::optional<std::string_view> input,
                                              const std::optional<std::string>& dir,
                                              const std::vector<std::string>& extra_env,
                                              const RunLimits& limits);

}  // namespace

RunLimits set_default_run_limits(RunLimits limits) {
    return std::exchange(default_limits(), limits);
}

RunnerIo set_runner_io(RunnerIo io) {
    return std::exchange(g_io, io);
}

CommandHook set_command_hook(CommandHook hook) {
    return std::exchange(installed_hook(), std::move(hook));
}

Result<CommandOutput, OsError> run_real_command(const CommandCall& call) {
    std::optional<std::string_view> input;
    if (call.input) input = *call.input;
    return spawn_and_wait(call.program, call.args, input, call.dir, call.extra_env, call.limits);
}

Result<CommandOutput, OsError> run_command(std::string_view program,
                                           const std::vector<std::string>& args,
                                           std::optional<std::string_view> input,
                                           const std::optional<std::string>& dir,
                                           const std::vector<std::string>& extra_env,
                                           const RunLimits& given) {
    const RunLimits& limits = unbounded(given) ? default_limits() : given;
    if (const CommandHook& hook = installed_hook()) {
        CommandCall call{std::string(program), args, std::nullopt, dir, extra_env, limits};
        if (input) call.input = std::string(*input);
        return hook(call);
    }
    return spawn_and_wait(program, args, input, dir, extra_env, limits);
}

namespace {

Result<CommandOutput, OsError> spawn_and_wait(std::string_view program,
                                              const std::vector<std::string>& args,
                                              std::optional<std::string_view> input,
                                              const std::optional<std::string>& dir,
                                              const std::vector<std::string>& extra_env,
                                              const RunLimits& limits) {
    if (!well_formed_env(extra_env)) return OsError{EINVAL};
    Pipe in, out, err;
    for (Pipe* p : {&out, &err}) {
        TARNWICK_TRY(make_pipe(*p));
    }
    if (input) {
        TARNWICK_TRY(make_pipe(in));
    }

    SpawnSetup setup;
    // The parent ignores SIGPIPE; the child gets the default disposition back.
    sigset_t defaults, empty;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigemptyset(&empty);
    posix_spawnattr_setsigdefault(&setup.attr, &defaults);
    posix_spawnattr_setsigmask(&setup.attr, &empty);
    posix_spawnattr_setflags(&setup.attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    if (input)
        posix_spawn_file_actions_adddup2(&setup.actions, in.read.get(), 0);
    else
        posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&setup.actions, out.write.get(), 1);
    posix_spawn_file_actions_adddup2(&setup.actions, err.write.get(), 2);
    if (dir) posix_spawn_file_actions_addchdir_np(&setup.actions, dir->c_str());

    std::string program_name(program);
    std::vector<char*> argv;
    argv.reserve(args.size() + 2);
    argv.push_back(program_name.data());
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    // The inherited environment, with each NAME=value of extra_env replacing NAME.
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

    // Once a termination signal was recorded the run is being abandoned: nothing new starts.
    if (caught_termination_signal() != 0) return OsError{EINTR};
    pid_t pid = 0;
    int rc = ::posix_spawnp(&pid, program_name.c_str(), &setup.actions, &setup.attr, argv.data(),
                            envp.data());
    if (rc != 0) return OsError{rc};

    ReapUnlessReleased reap(pid);
    in.read.reset();
    out.write.reset();
    err.write.reset();

    std::string_view pending = input.value_or(std::string_view());
    if (input) {
        ::fcntl(in.write.get(), F_SETFL, ::fcntl(in.write.get(), F_GETFL) | O_NONBLOCK);
        if (pending.empty()) in.write.reset();
    }

    const Deadline deadline(limits.timeout_ms);
    bool timed_out = false, cut = false;
    std::string out_bytes, err_bytes;
    char buf[65536];
    while (out.read.open() || err.read.open() || in.write.open()) {
        pollfd fds[3];
        nfds_t n = 0;
        Fd* owners[3];
        std::string* sinks[3];
        for (auto [fd, sink] :
             {std::pair{&out.read, &out_bytes}, std::pair{&err.read, &err_bytes}}) {
            if (!fd->open()) continue;
            fds[n] = {fd->get(), POLLIN, 0};
            owners[n] = fd;
            sinks[n++] = sink;
        }
        if (in.write.open()) {
            fds[n] = {in.write.get(), POLLOUT, 0};
            owners[n] = &in.write;
            sinks[n++] = nullptr;
        }
        // Caught termination signals are blocked except here, so one is only ever recorded
        // while the runner can act on it.
        timespec left{};
        if (deadline.set() && !deadline.remaining(left)) {
            timed_out = true;
            break;
        }
        const int ready =
            g_io.poll(fds, n, deadline.set() ? &left : nullptr, termination_wait_mask());
        if (ready < 0) {
            if (errno != EINTR) return OsError{errno};
            if (caught_termination_signal() != 0) {
                stop_child(pid);
                reap.release();
                return OsError{EINTR};
            }
            continue;
        }
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
                // Past the cap the output is still read, so the child is not blocked on a
                // full pipe, but no longer kept.
                std::size_t keep = static_cast<std::size_t>(r);
                if (limits.output_cap != 0) {
                    const std::size_t room =
                        limits.output_cap - std::min(limits.output_cap, sinks[i]->size());
                    if (keep > room) {
                        keep = room;
                        cut = true;
                    }
                }
                sinks[i]->append(buf, keep);
            }
        }
    }

    // A child that closed its output but has not ended is waited for until the deadline too.
    while (!timed_out && deadline.set()) {
        siginfo_t info{};
        if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0) {
            if (info.si_pid == pid) break;  // ended; reaped below
        } else if (errno != EINTR) {
            break;
        }
        timespec left{};
        if (!deadline.remaining(left)) {
            timed_out = true;
            break;
        }
        const timespec step{0, 5'000'000};
        ::nanosleep(&step, nullptr);
    }
    if (timed_out) ::kill(pid, SIGKILL);

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno == EINTR) continue;
        // The pid is no longer known to be our child: it must not be signalled.
        const int error = errno;
        reap.release();
        return OsError{error};
    }
    reap.release();

    CommandOutput result;
    result.stdout_text = decode_lossy(out_bytes);
    result.stderr_text = decode_lossy(err_bytes);
    result.success = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    result.stdout_was_utf8 = is_valid_utf8(out_bytes);
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.timed_out = timed_out;
    result.output_cut = cut;
    if (timed_out) result.success = false;
    return result;
}

}  // namespace

Result<CommandOutput> run_tool(std::string_view tool, const std::vector<std::string>& args,
                               std::optional<std::string_view> input) {
    auto run = run_command(tool, args, input);
    if (!run) return CliError::backend(tool, run.error().text());
    return std::move(run).value();
}

Result<CommandOutput> run_gh(const std::vector<std::string>& args) {
    return run_tool("gh", args);
}

Result<CommandOutput> run_tool_checked(std::string_view tool, const std::vector<std::string>& args,
                                       std::optional<std::string_view> input) {
    auto run = run_tool(tool, args, input);
    TARNWICK_TRY(run);
    if (!run->success) return CliError::backend(tool, failure_detail(*run));
    return run;
}

Result<CommandOutput> run_gh_checked(const std::vector<std::string>& args,
                                     std::optional<std::string_view> input) {
    return run_tool_checked("gh", args, input);
}

Status run_git(const std::string& dir, const std::vector<std::string>& args) {
    auto run = run_command("git", args, std::nullopt, dir);
    if (!run) return CliError::git("could not run git: " + run.error().text());
    if (!run->success) return CliError::git(failure_detail(*run));
    return Ok{};
}

namespace {

// A child's stderr goes into one line of JSON; a child that writes megabytes of it must not
// make a message of that size. The end is kept: that is where a tool says what went wrong.
constexpr std::size_t kStderrShown = 4096;

std::string shown_stderr(std::string_view text) {
    std::string shown(trim(redact(text)));
    if (shown.size() <= kStderrShown) return shown;
    std::size_t cut = shown.size() - kStderrShown;
    while (cut < shown.size() && (static_cast<unsigned char>(shown[cut]) & 0xC0) == 0x80) ++cut;
    return "[" + std::to_string(cut) + " earlier bytes of stderr cut] " +
           std::string(trim_start(std::string_view(shown).substr(cut)));
}

}  // namespace

std::string signal_name(int signal) {
    if (const char* abbrev = ::sigabbrev_np(signal)) return "SIG" + std::string(abbrev);
    return "signal " + std::to_string(signal);
}

std::string failure_detail(const CommandOutput& run) {
    std::string detail = shown_stderr(run.stderr_text);
    if (run.signal == 0) return detail;
    const std::string killed = "killed by signal " + signal_name(run.signal);
    return detail.empty() ? killed : detail + " (" + killed + ")";
}

CliError tool_error(std::string_view tool, std::string_view text) {
    return CliError::backend(tool, shown_stderr(text));
}

}  // namespace tarnwick
