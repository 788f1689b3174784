#include "support/harness.hpp"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tarnwick::testing {

TempDir::TempDir() {
    std::string tmpl = "/tmp/tarnwick-test-XXXXXX";
    if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Restore write permission first so read-only test fixtures can be removed.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec)) ::chmod(it->path().c_str(), 0700);
    }
    std::filesystem::remove_all(path_, ec);
}

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

void drain(int out_fd, int err_fd, RunResult& result) {
    char buf[65536];
    int fds[2] = {out_fd, err_fd};
    std::string* sinks[2] = {&result.out, &result.err};
    while (fds[0] >= 0 || fds[1] >= 0) {
        pollfd p[2];
        int idx[2];
        nfds_t n = 0;
        for (int i = 0; i < 2; ++i) {
            if (fds[i] < 0) continue;
            p[n] = {fds[i], POLLIN, 0};
            idx[n++] = i;
        }
        if (::poll(p, n, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (nfds_t k = 0; k < n; ++k) {
            if (!p[k].revents) continue;
            ssize_t r = ::read(p[k].fd, buf, sizeof buf);
            if (r > 0) {
                sinks[idx[k]]->append(buf, static_cast<std::size_t>(r));
            } else if (r == 0 || (errno != EINTR && errno != EAGAIN)) {
                ::close(fds[idx[k]]);
                fds[idx[k]] = -1;
            }
        }
    }
}

}  // namespace

RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& env, const RunOptions& options) {
    int out[2], err[2], in[2] = {-1, -1};
    int pty_master = -1, pty_slave = -1;
    if (::pipe(err) != 0) throw std::runtime_error("pipe");
    if (options.use_pty) {
        if (::openpty(&pty_master, &pty_slave, nullptr, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty");
        out[0] = pty_master;
        out[1] = pty_slave;
    } else if (::pipe(out) != 0) {
        throw std::runtime_error("pipe");
    }
    if (options.stdout_reader_closed) {
        // Closed before the child starts, so the child's first write meets a gone reader.
        ::close(out[0]);
        out[0] = -1;
    }
    if (options.input && ::pipe(in) != 0) throw std::runtime_error("pipe");

    std::vector<std::string> env_strings;
    for (const auto& [k, v] : env) env_strings.push_back(k + "=" + v);
    std::vector<char*> envp;
    for (auto& s : env_strings) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> argv_strings{program};
    argv_strings.insert(argv_strings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : argv_strings) argv.push_back(s.data());
    argv.push_back(nullptr);
    std::string search_path = env.count("PATH") ? env.at("PATH") : "/usr/bin:/bin";

    pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork");
    if (pid == 0) {
        if (!options.stdin_path.empty()) {
            int source = ::open(options.stdin_path.c_str(), O_RDONLY);
            if (source < 0) ::_exit(126);
            ::dup2(source, 0);
        } else if (options.input) {
            ::dup2(in[0], 0);
        } else {
            int null = ::open("/dev/null", O_RDONLY);
            ::dup2(null, 0);
        }
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        for (int fd = 3; fd < 256; ++fd) ::close(fd);
        if (options.close_stdout_and_stderr) {
            ::close(1);
            ::close(2);
        }
        if (!options.cwd.empty() && ::chdir(options.cwd.c_str()) != 0) ::_exit(126);
        ::signal(SIGPIPE, SIG_DFL);
        if (program.find('/') != std::string::npos) {
            ::execve(program.c_str(), argv.data(), envp.data());
        } else {
            std::stringstream dirs(search_path);
            std::string dir;
            while (std::getline(dirs, dir, ':')) {
                std::string candidate = dir + "/" + program;
                ::execve(candidate.c_str(), argv.data(), envp.data());
            }
        }
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    if (options.stdout_reader_closed) out[0] = ::open("/dev/null", O_RDONLY);
    if (options.input) {
        ::close(in[0]);
        // Inputs in tests are small; a closed reader is not an error here.
        ::signal(SIGPIPE, SIG_IGN);
        std::string_view data = *options.input;
        while (!data.empty()) {
            ssize_t w = ::write(in[1], data.data(), data.size());
            if (w <= 0) break;
            data.remove_prefix(static_cast<std::size_t>(w));
        }
        ::close(in[1]);
    }
    RunResult result;
    drain(out[0], err[0], result);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
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
    auto env = default_env(home);
    for (const auto& [k, v] : options.env) {
        if (v)
            env[k] = *v;
        else
            env.erase(k);
    }
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
    auto env_map = default_env(home);
    for (const auto& [k, v] : options.env) {
        if (v)
            env_map[k] = *v;
        else
            env_map.erase(k);
    }
    std::vector<std::string> env_strings;
    for (const auto& [k, v] : env_map) env_strings.push_back(k + "=" + v);
    std::vector<char*> envp;
    for (auto& e : env_strings) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argv_strings{TARNWICK_BIN};
    argv_strings.insert(argv_strings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argv_strings) argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork");
    if (pid == 0) {
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0) ::_exit(126);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        for (int fd = 3; fd < 256; ++fd) ::close(fd);
        if (!options.cwd.empty() && ::chdir(options.cwd.c_str()) != 0) ::_exit(126);
        // A runner started in the background has SIGINT and SIGQUIT ignored; the program
        // under test must see a person's Ctrl-C as it would at a terminal.
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) ::signal(sig, SIG_DFL);
        rlimit no_core{0, 0};
        ::setrlimit(RLIMIT_CORE, &no_core);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    return pid;
}

RunResult finish_tarnwick(int pid, const std::string& out_file, const std::string& err_file) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    RunResult result;
    if (WIFEXITED(status)) {
        result.exit_code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    result.out = read_file(out_file);
    result.err = read_file(err_file);
    return result;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void write_file(const std::string& path, const std::string& contents) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    out << contents;
}

bool exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

void write_git_identity(const std::string& home, const std::string& name,
                        const std::string& email) {
    std::string config = "[user]\n";
    if (!name.empty()) config += "\tname = " + name + "\n";
    if (!email.empty()) config += "\temail = " + email + "\n";
    write_file(home + "/.gitconfig", config);
}

}  // namespace tarnwick::testing
