#include "support/harness.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string_view>

#include "process/spawn_platform.hpp"
#include "support/test_paths.hpp"

namespace tarnwick::testing {

std::map<std::string, std::string> default_env(const std::string& home) {
    std::map<std::string, std::string> env;
    const char* path = std::getenv("PATH");
    env["PATH"] = std::string(TARNWICK_FAKES_DIR) + ":" + (path ? path : "/usr/bin:/bin");
    env["HOME"] = home;
    env["TMPDIR"] = home;
    env["GIT_CONFIG_NOSYSTEM"] = "1";
    env["LANG"] = "C.UTF-8";
    // rustup's cargo finds its toolchain through these; they must survive a replaced HOME.
    const char* real_home = std::getenv("HOME");
    std::string base = real_home ? real_home : "/root";
    const char* rustup = std::getenv("RUSTUP_HOME");
    env["RUSTUP_HOME"] = rustup ? rustup : base + "/.rustup";
    for (const char* pass : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
        if (const char* v = std::getenv(pass)) env[pass] = v;
    }
    return env;
}

namespace {

std::string os_error(int code) {
    return std::string(std::strerror(code)) + " (errno " + std::to_string(code) + ")";
}

// Words as the NULL-terminated array that posix_spawn takes; the words live as long as it.
class CStrings {
public:
    explicit CStrings(std::vector<std::string> words) : words_(std::move(words)) {
        for (auto& w : words_) pointers_.push_back(w.data());
        pointers_.push_back(nullptr);
    }
    char* const* get() const { return pointers_.data(); }
    const std::string& front() const { return words_.front(); }

private:
    std::vector<std::string> words_;
    std::vector<char*> pointers_;
};

CStrings environment_of(const std::map<std::string, std::string>& env) {
    std::vector<std::string> words;
    for (const auto& [k, v] : env) words.push_back(k + "=" + v);
    return CStrings(std::move(words));
}

CStrings arguments_of(const std::string& program, const std::vector<std::string>& args) {
    std::vector<std::string> words{program};
    words.insert(words.end(), args.begin(), args.end());
    return CStrings(std::move(words));
}

// default_env(home) with the test's own variables set or removed.
std::map<std::string, std::string> tarnwick_env(const std::string& home,
                                                const RunOptions& options) {
    auto env = default_env(home);
    for (const auto& [k, v] : options.env) {
        if (v)
            env[k] = *v;
        else
            env.erase(k);
    }
    return env;
}

// Owns one file descriptor.
class Fd {
public:
    Fd() = default;
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }
    int get() const { return fd_; }
    bool open() const { return fd_ >= 0; }
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

// Spawn attributes and file actions, released on every path out.
struct SpawnSetup {
    posix_spawnattr_t attr;
    posix_spawn_file_actions_t actions;
    int attr_error = posix_spawnattr_init(&attr);
    int actions_error = posix_spawn_file_actions_init(&actions);
    SpawnSetup() = default;
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
    ~SpawnSetup() {
        if (actions_error == 0) posix_spawn_file_actions_destroy(&actions);
        if (attr_error == 0) posix_spawnattr_destroy(&attr);
    }

    // The child starts with the given signals at their default action and none blocked.
    int reset_signals(const sigset_t& to_default) {
        sigset_t none;
        sigemptyset(&none);
        if (int e = posix_spawnattr_setsigdefault(&attr, &to_default)) return e;
        if (int e = posix_spawnattr_setsigmask(&attr, &none)) return e;
        return posix_spawnattr_setflags(
            &attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | platform_spawn_flags());
    }

    // Whatever else the test process holds open stays out of the child, which starts in cwd
    // (empty: the test's own working directory).
    int confine(const std::string& cwd) {
#if defined(__GLIBC__)
        // Elsewhere platform_spawn_flags() closes them (macOS: POSIX_SPAWN_CLOEXEC_DEFAULT).
        if (int e = posix_spawn_file_actions_addclosefrom_np(&actions, 3)) return e;
#endif
        return cwd.empty() ? 0 : posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    }
};

// A failed step of starting the child: the test fails with the step and the OS error, and the
// result carries the same words for the test's own messages.
RunResult failed(const std::string& program, const std::string& step, int error) {
    RunResult r;
    r.exit_code = 127;
    r.err = "harness: " + program + ": " + step + ": " + os_error(error) + "\n";
    ADD_FAILURE() << r.err;
    return r;
}

// The file that a name without a slash runs, found on the child's PATH the way execvp looks:
// the first executable regular file, an empty entry meaning the working directory. The
// parent looks, because posix_spawnp would search the parent's own PATH.
std::optional<std::string> find_on_path(const std::string& program, const std::string& path,
                                        const std::string& cwd) {
    std::string_view rest = path;
    for (;;) {
        const auto colon = rest.find(':');
        std::string dir(rest.substr(0, colon));
        if (dir.empty()) dir = ".";
        if (dir.front() != '/' && !cwd.empty()) dir = cwd + "/" + dir;
        const std::string candidate = dir + "/" + program;
        struct stat st;
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (colon == std::string_view::npos) return std::nullopt;
        rest.remove_prefix(colon + 1);
    }
}

// Feeds input to the child and collects its stdout and stderr until both reach their end.
// Returns 0 or the errno of a failed step; a reader that went away before all input was
// written is not a failure (the child owes the harness no reading).
int exchange(Fd& in, std::string_view input, Fd& out, Fd& err, bool out_is_pty, RunResult& result) {
    if (in.open() && input.empty()) in.reset();
    if (in.open() && ::fcntl(in.get(), F_SETFL, ::fcntl(in.get(), F_GETFL) | O_NONBLOCK) != 0)
        return errno;
    char buf[65536];
    while (in.open() || out.open() || err.open()) {
        pollfd fds[3];
        Fd* owners[3];
        std::string* sinks[3];
        nfds_t n = 0;
        for (auto [fd, sink] : {std::pair{&out, &result.out}, std::pair{&err, &result.err}}) {
            if (!fd->open()) continue;
            fds[n] = {fd->get(), POLLIN, 0};
            owners[n] = fd;
            sinks[n++] = sink;
        }
        if (in.open()) {
            fds[n] = {in.get(), POLLOUT, 0};
            owners[n] = &in;
            sinks[n++] = nullptr;
        }
        if (::poll(fds, n, -1) < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        for (nfds_t i = 0; i < n; ++i) {
            if (fds[i].revents == 0) continue;
            if (sinks[i] == nullptr) {
                const ssize_t w = ::write(fds[i].fd, input.data(), input.size());
                if (w < 0 && (errno == EINTR || errno == EAGAIN)) continue;
                if (w < 0 && errno != EPIPE) return errno;
                if (w > 0) input.remove_prefix(static_cast<std::size_t>(w));
                if (w < 0 || input.empty()) owners[i]->reset();
                continue;
            }
            const ssize_t r = ::read(fds[i].fd, buf, sizeof buf);
            if (r > 0) {
                sinks[i]->append(buf, static_cast<std::size_t>(r));
            } else if (r == 0) {
                owners[i]->reset();
            } else if (errno != EINTR && errno != EAGAIN) {
                // A terminal's master reads EIO once no slave is left open: its end of file.
                if (!(errno == EIO && out_is_pty && owners[i] == &out)) return errno;
                owners[i]->reset();
            }
        }
    }
    return 0;
}

}  // namespace

RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& env, const RunOptions& options) {
    std::string file = program;
    if (program.find('/') == std::string::npos) {
        const auto path = env.find("PATH");
        auto found =
            find_on_path(program, path != env.end() ? path->second : "/usr/bin:/bin", options.cwd);
        if (!found) return failed(program, "not found on the child's PATH", ENOENT);
        file = *found;
    }
    // The parent ignores SIGPIPE, so input that the child never reads is no signal here.
    if (::signal(SIGPIPE, SIG_IGN) == SIG_ERR) return failed(program, "ignore SIGPIPE", errno);

    Fd in_read, in_write, out_read, out_write, err_read, err_write;
    int fds[2];
    if (auto piped = make_cloexec_pipe(fds); !piped)
        return failed(program, "stderr pipe", piped.error().code);
    err_read.reset(fds[0]);
    err_write.reset(fds[1]);
    if (options.use_pty) {
        out_read.reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
        if (!out_read.open()) return failed(program, "posix_openpt", errno);
        if (::grantpt(out_read.get()) != 0) return failed(program, "grantpt", errno);
        if (::unlockpt(out_read.get()) != 0) return failed(program, "unlockpt", errno);
        char name[128];
        if (int e = ::ptsname_r(out_read.get(), name, sizeof name))
            return failed(program, "ptsname", e);
        out_write.reset(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
        if (!out_write.open()) return failed(program, std::string("open ") + name, errno);
    } else {
        if (auto piped = make_cloexec_pipe(fds); !piped)
            return failed(program, "stdout pipe", piped.error().code);
        out_read.reset(fds[0]);
        out_write.reset(fds[1]);
    }
    // Closed before the child starts, so the child's first write meets a gone reader.
    if (options.stdout_reader_closed) out_read.reset();
    if (options.input) {
        if (auto piped = make_cloexec_pipe(fds); !piped)
            return failed(program, "stdin pipe", piped.error().code);
        in_read.reset(fds[0]);
        in_write.reset(fds[1]);
    }

    SpawnSetup setup;
    if (setup.attr_error) return failed(program, "posix_spawnattr_init", setup.attr_error);
    if (setup.actions_error)
        return failed(program, "posix_spawn_file_actions_init", setup.actions_error);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    // Each step returns 0 or an error number; the first failure is reported with its name.
    const std::pair<std::string, int> steps[] = {
        {"reset SIGPIPE and the signal mask", setup.reset_signals(defaults)},
        {"stdin", options.input
                      ? posix_spawn_file_actions_adddup2(&setup.actions, in_read.get(), 0)
                      : posix_spawn_file_actions_addopen(
                            &setup.actions, 0,
                            options.stdin_path.empty() ? "/dev/null" : options.stdin_path.c_str(),
                            O_RDONLY, 0)},
        {"stdout", posix_spawn_file_actions_adddup2(&setup.actions, out_write.get(), 1)},
        {"stderr", posix_spawn_file_actions_adddup2(&setup.actions, err_write.get(), 2)},
        {"close stdout", options.close_stdout_and_stderr
                             ? posix_spawn_file_actions_addclose(&setup.actions, 1)
                             : 0},
        {"close stderr", options.close_stdout_and_stderr
                             ? posix_spawn_file_actions_addclose(&setup.actions, 2)
                             : 0},
        {"close inherited descriptors and change to " + options.cwd, setup.confine(options.cwd)},
    };
    for (const auto& [step, error] : steps) {
        if (error != 0) return failed(program, step, error);
    }

    const CStrings envp = environment_of(env);
    const CStrings argv = arguments_of(program, args);
    pid_t pid = 0;
    if (int e =
            ::posix_spawn(&pid, file.c_str(), &setup.actions, &setup.attr, argv.get(), envp.get()))
        return failed(program, "spawn " + file, e);
    in_read.reset();
    out_write.reset();
    err_write.reset();

    RunResult result;
    const int exchange_error =
        exchange(in_write, options.input ? std::string_view(*options.input) : "", out_read,
                 err_read, options.use_pty, result);
    if (exchange_error) {
        // The child may be blocked on a pipe that nobody will serve now.
        ::kill(pid, SIGKILL);
        ADD_FAILURE() << "harness: " << program
                      << ": talking to the child: " << os_error(exchange_error);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return failed(program, "waitpid", errno);
    }
    if (WIFEXITED(status)) {
        result.exit_code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    if (options.use_pty) {
        // A terminal turns "\n" into "\r\n"; give tests the program's own bytes back.
        std::string cleaned;
        for (std::size_t i = 0; i < result.out.size(); ++i) {
            if (result.out[i] == '\r' && i + 1 < result.out.size() && result.out[i + 1] == '\n')
                continue;
            cleaned += result.out[i];
        }
        result.out = cleaned;
    }
    return result;
}

RunResult run_tarnwick(const std::vector<std::string>& args, const std::string& home,
                       const RunOptions& options) {
    const auto env = tarnwick_env(home, options);
    // `make memcheck` runs every end-to-end case under valgrind: TARNWICK_TEST_WRAPPER holds
    // the wrapper's words, separated by spaces.
    const char* wrapper = std::getenv("TARNWICK_TEST_WRAPPER");
    if (wrapper == nullptr || *wrapper == '\0')
        return run_program(TARNWICK_BIN, args, env, options);
    std::vector<std::string> words;
    std::stringstream split(wrapper);
    for (std::string word; split >> word;) words.push_back(word);
    std::vector<std::string> wrapped(words.begin() + 1, words.end());
    wrapped.push_back(TARNWICK_BIN);
    wrapped.insert(wrapped.end(), args.begin(), args.end());
    return run_program(words.front(), wrapped, env, options);
}

const std::string& tarnwick_bin() {
    static const std::string bin = [] {
        const char* chosen = std::getenv("TARNWICK_BIN");
        return std::string(chosen && *chosen ? chosen : TARNWICK_BUILT_BIN);
    }();
    return bin;
}

int start_tarnwick(const std::vector<std::string>& args, const std::string& home,
                   const RunOptions& options, const std::string& out_file,
                   const std::string& err_file) {
    const CStrings envp = environment_of(tarnwick_env(home, options));
    const CStrings argv = arguments_of(TARNWICK_BIN, args);

    // No core files from the signals these tests send; the child inherits the limit.
    rlimit no_core{0, 0};
    if (::setrlimit(RLIMIT_CORE, &no_core) != 0) {
        (void)failed(argv.front(), "turn core files off", errno);
        return -1;
    }

    SpawnSetup setup;
    // A runner started in the background has SIGINT and SIGQUIT ignored; the program under
    // test must see a person's Ctrl-C as it would at a terminal.
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) sigaddset(&defaults, sig);
    const std::pair<std::string, int> steps[] = {
        {"posix_spawnattr_init", setup.attr_error},
        {"posix_spawn_file_actions_init", setup.actions_error},
        {"reset the termination signals and the signal mask", setup.reset_signals(defaults)},
        {"stdin", posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0)},
        {"stdout", posix_spawn_file_actions_addopen(&setup.actions, 1, out_file.c_str(),
                                                    O_WRONLY | O_CREAT | O_TRUNC, 0600)},
        {"stderr", posix_spawn_file_actions_addopen(&setup.actions, 2, err_file.c_str(),
                                                    O_WRONLY | O_CREAT | O_TRUNC, 0600)},
        {"close inherited descriptors and change to " + options.cwd, setup.confine(options.cwd)},
    };
    for (const auto& [step, error] : steps) {
        if (error != 0) {
            (void)failed(argv.front(), step, error);
            return -1;
        }
    }
    pid_t pid = 0;
    if (int e = ::posix_spawn(&pid, argv.front().c_str(), &setup.actions, &setup.attr, argv.get(),
                              envp.get())) {
        (void)failed(argv.front(), "spawn", e);
        return -1;
    }
    return pid;
}

RunResult finish_tarnwick(int pid, const std::string& out_file, const std::string& err_file) {
    RunResult result;
    if (pid <= 0) return result;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return failed("tarnwick", "waitpid", errno);
    }
    if (WIFEXITED(status)) {
        result.exit_code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    result.out = read_file(out_file);
    result.err = read_file(err_file);
    return result;
}

void write_git_identity(const std::string& home, const std::string& name,
                        const std::string& email) {
    std::string config = "[user]\n";
    if (!name.empty()) config += "\tname = " + name + "\n";
    if (!email.empty()) config += "\temail = " + email + "\n";
    write_file(home + "/.gitconfig", config);
}

}  // namespace tarnwick::testing
