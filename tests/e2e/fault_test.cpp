// Faults from outside: gone readers, closed standard descriptors, unwritable and full file
// systems, and a git killed mid-run. None may end as a signal or be reported as success.
#include <gtest/gtest.h>
#if defined(__linux__)
#include <sys/mount.h>
#endif
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "support/harness.hpp"

using namespace tarnwick::testing;
namespace fs = std::filesystem;

namespace {

RunOptions in_dir(const std::string& cwd) {
    RunOptions o;
    o.cwd = cwd;
    return o;
}

std::string git_in(const std::string& home, const std::string& dir,
                   const std::vector<std::string>& args) {
    std::vector<std::string> full = {"-C", dir};
    full.insert(full.end(), args.begin(), args.end());
    auto r = run_program("git", full, default_env(home), {});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return r.out;
}

// Every regular file below root (outside .git), relative path -> contents.
std::map<std::string, std::string> tree(const std::string& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        auto rel = fs::relative(entry.path(), root).string();
        if (rel.rfind(".git", 0) == 0 && (rel.size() == 4 || rel[4] == '/')) continue;
        if (entry.is_regular_file()) files[rel] = read_file(entry.path());
    }
    return files;
}

}  // namespace

TEST(Faults, CheckIntoAGoneReaderFailsWithADiagnostic) {
    TempDir home;
    RunOptions gone = in_dir(home.path());
    gone.stdout_reader_closed = true;
    auto r = run_tarnwick({"check", "demo"}, home.path(), gone);
    EXPECT_EQ(r.signal, 0);
    EXPECT_NE(r.exit_code, 0);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.err,
              "{\"error\":{\"exit_code\":2,\"kind\":\"io\",\"message\":\"failed printing to "
              "stdout: Broken pipe (os error 32)\"}}\n");
}

TEST(Faults, NewIntoAGoneReaderStillCreatesAndCommits) {
    TempDir home;
    write_git_identity(home.path(), "Ada", "ada@example.com");
    RunOptions gone = in_dir(home.path());
    gone.stdout_reader_closed = true;
    auto r = run_tarnwick({"new", "demo"}, home.path(), gone);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(git_in(home.path(), home / "demo", {"log", "--format=%s"}),
              "chore: scaffold demo with tarnwick\n");
}

TEST(Faults, ClosedStandardDescriptorsChangeNothingWritten) {
    TempDir home;
    write_git_identity(home.path(), "Ada", "ada@example.com");
    fs::create_directories(home / "normal");
    fs::create_directories(home / "closed");
    auto normal = run_tarnwick({"new", "demo"}, home.path(), in_dir(home / "normal"));
    ASSERT_EQ(normal.exit_code, 0) << normal.err;
    RunOptions closed = in_dir(home / "closed");
    closed.close_stdout_and_stderr = true;
    auto r = run_tarnwick({"new", "demo"}, home.path(), closed);
    EXPECT_EQ(r.exit_code, 0);
    // Had a project file taken descriptor 1 or 2, the report would have landed in it.
    EXPECT_EQ(tree(home / "closed/demo"), tree(home / "normal/demo"));
    EXPECT_EQ(git_in(home.path(), home / "closed/demo", {"rev-parse", "HEAD^{tree}"}),
              git_in(home.path(), home / "normal/demo", {"rev-parse", "HEAD^{tree}"}));
    EXPECT_EQ(git_in(home.path(), home / "closed/demo", {"status", "--porcelain"}), "");
    // The envelope goes to the null device, so the documented exit code survives.
    auto invalid = run_tarnwick({"new", "Demo"}, home.path(), closed);
    EXPECT_EQ(invalid.exit_code, 3);
}

TEST(Faults, ReadOnlyParentIsAnIoError) {
    TempDir home;
    ::chmod(home.path().c_str(), 0755);
    fs::create_directories(home / "ro");
    ::chmod((home / "ro").c_str(), 0555);
    std::vector<std::string> args = {"new",       "demo",   "--no-git", "--author",
                                     "A <a@b.c>", "--into", home / "ro"};
    RunResult r;
    if (::geteuid() == 0) {
        // root writes anywhere; run as nobody to meet the permission check for real.
        std::vector<std::string> as_nobody = {"--reuid=65534", "--regid=65534", "--clear-groups",
                                              TARNWICK_BIN};
        as_nobody.insert(as_nobody.end(), args.begin(), args.end());
        auto env = default_env(home.path());
        r = run_program("setpriv", as_nobody, env, in_dir("/"));
    } else {
        r = run_tarnwick(args, home.path(), in_dir("/"));
    }
    EXPECT_EQ(r.exit_code, 2) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "{\"error\":{\"exit_code\":2,\"kind\":\"io\",\"message\":\"Permission denied (os "
              "error 13)\"}}\n");
    EXPECT_FALSE(exists(home / "ro/demo"));
}

// A small tmpfs is a Linux mount; elsewhere there is no full file system to make here.
#if defined(__linux__)
TEST(Faults, FullFileSystemIsAnIoError) {
    TempDir home;
    std::string mnt = home / "small";
    fs::create_directories(mnt);
    if (::mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=16k") != 0) {
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs CAP_SYS_ADMIN)";
    }
    auto r =
        run_tarnwick({"new", "demo", "--no-git", "--into", mnt}, home.path(), in_dir(home.path()));
    ::umount(mnt.c_str());
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "{\"error\":{\"exit_code\":2,\"kind\":\"io\",\"message\":\"No space left on device "
              "(os error 28)\"}}\n");
}
#endif

#if defined(__linux__)
// An update on a file system that fills part-way: whatever the free space, it ends with its
// commit, or it says that nothing was changed, or it names the one git command that returns
// the project to the user's commit, and that command does. Never a merge state without one.
TEST(Faults, AnUpdateOnAFillingFileSystemAlwaysHasAWayBack) {
    TempDir home;
    write_git_identity(home.path(), "Ada", "ada@example.com");
    auto made = run_tarnwick({"new", "demo", "--owner", "acme"}, home.path(), in_dir(home.path()));
    ASSERT_EQ(made.exit_code, 0) << made.err;
    const std::string mnt = home / "small";
    fs::create_directories(mnt);
    int ended_part_way = 0;
    for (int free_kib = 4; free_kib <= 76; free_kib += 8) {
        SCOPED_TRACE(std::to_string(free_kib) + " KiB free");
        if (::mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=2m") != 0) {
            GTEST_SKIP() << "cannot mount a small tmpfs here (needs CAP_SYS_ADMIN)";
        }
        const std::string demo = mnt + "/demo";
        fs::copy(home / "demo", demo,
                 fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        const std::string head = git_in(home.path(), demo, {"rev-parse", "HEAD"});
        {
            const fs::space_info space = fs::space(mnt);
            const auto keep = static_cast<std::uintmax_t>(free_kib) * 1024;
            if (space.available > keep) {
                write_file(mnt + "/filler", std::string(space.available - keep, 'x'));
            }
        }
        auto r = run_tarnwick({"update", "demo", "--owner", "kestrel"}, home.path(), in_dir(mnt));
        fs::remove(mnt + "/filler");
        EXPECT_EQ(r.signal, 0);
        if (r.exit_code != 0) {
            ++ended_part_way;
            const bool reset = r.err.find("`git reset --hard`") != std::string::npos;
            const bool abort = r.err.find("`git merge --abort`") != std::string::npos;
            const bool unchanged = r.err.find("nothing was changed") != std::string::npos;
            EXPECT_EQ(reset + abort + unchanged, 1) << r.err;
            if (reset) git_in(home.path(), demo, {"reset", "-q", "--hard"});
            if (abort) git_in(home.path(), demo, {"merge", "--abort"});
            EXPECT_FALSE(exists(demo + "/.git/MERGE_HEAD")) << r.err;
            EXPECT_EQ(git_in(home.path(), demo, {"rev-parse", "HEAD"}), head);
            EXPECT_EQ(git_in(home.path(), demo, {"status", "--porcelain", "--untracked-files=all"}),
                      "");
            EXPECT_EQ(tree(demo), tree(home / "demo"));
        }
        ::umount(mnt.c_str());
    }
    EXPECT_GT(ended_part_way, 0) << "no size was small enough to fail";
}
#endif

TEST(Faults, GitKilledBySignalIsAGitError) {
    TempDir home;
    write_git_identity(home.path(), "Ada", "ada@example.com");
    fs::create_directories(home / "bin");
    // A git that dies by SIGKILL on commit and is the real git otherwise.
    write_file(home / "bin/git",
               "#!/bin/sh\nfor a in \"$@\"; do [ \"$a\" = commit ] && kill -9 $$; done\n"
               "exec /usr/bin/git \"$@\"\n");
    ASSERT_EQ(::chmod((home / "bin/git").c_str(), 0755), 0);
    RunOptions o = in_dir(home.path());
    o.env["PATH"] = home / "bin" + ":" + default_env(home.path())["PATH"];
    auto r = run_tarnwick({"new", "demo"}, home.path(), o);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "{\"error\":{\"exit_code\":2,\"kind\":\"git\",\"message\":\"git: killed by signal "
              "SIGKILL\"}}\n");
    EXPECT_TRUE(exists(home / "demo/Cargo.toml"));
}
