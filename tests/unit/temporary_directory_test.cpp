// The one temporary directory: where it is made, that it is private, and that everything in
// it goes with it (links not followed, locked subdirectories opened up), overwritten first
// when it held keys.
#include "core/temporary_directory.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/files.hpp"
#include "support/scoped_env.hpp"

using namespace tarnwick;
namespace fs = std::filesystem;
using tarnwick::testing::read_file;
using tarnwick::testing::write_file;

TEST(TemporaryDirectory, IsMadeUnderAnAbsoluteTmpdirElseUnderTmp) {
    tarnwick::testing::TempDir base;
    const struct {
        const char* name;
        std::optional<std::string> tmpdir;
        std::string parent;
    } cases[] = {
        {"absolute TMPDIR", base.path(), base.path()},
        {"absolute TMPDIR with a final slash", base.path() + "/", base.path()},
        {"unset", std::nullopt, "/tmp"},
        {"empty", "", "/tmp"},
        {"relative", "relative/dir", "/tmp"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const tarnwick::testing::ScopedEnv env({{"TMPDIR", c.tmpdir}});
        std::string path;
        {
            auto dir = TemporaryDirectory::create("tarnwick-test-");
            ASSERT_TRUE(dir.ok()) << dir.error().message();
            path = (*dir)->path();
            EXPECT_EQ(fs::path(path).parent_path(), c.parent);
            EXPECT_EQ(fs::path(path).filename().string().rfind("tarnwick-test-", 0), 0u);
            struct stat st;
            ASSERT_EQ(::stat(path.c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 07777, 0700u);
            EXPECT_EQ((**dir) / "a", path + "/a");
        }
        EXPECT_FALSE(fs::exists(path));
    }
    const tarnwick::testing::ScopedEnv missing({{"TMPDIR", base / "missing"}});
    auto dir = TemporaryDirectory::create("tarnwick-test-");
    ASSERT_FALSE(dir.ok());
    EXPECT_EQ(dir.error().message(), "No such file or directory (os error 2)");
}

// What a child may leave inside goes; what a link inside points to stays. A file linked from
// outside shows whether its blocks were overwritten before the name went.
TEST(TemporaryDirectory, EverythingInsideGoesAndKeysAreOverwrittenFirst) {
    for (const Shred shred : {Shred::No, Shred::Yes}) {
        SCOPED_TRACE(shred == Shred::Yes ? "shredded" : "not shredded");
        tarnwick::testing::TempDir outside;
        const tarnwick::testing::ScopedEnv env({{"TMPDIR", outside.path()}});
        const std::string target = outside / "target";
        write_file(target, "kept");
        std::string path;
        {
            auto made = TemporaryDirectory::create("tarnwick-test-", shred);
            ASSERT_TRUE(made.ok());
            const auto& dir = *made.value();
            path = dir.path();
            write_file(dir / "key", "secret-key-bytes");
            ASSERT_EQ(::link((dir / "key").c_str(), (outside / "key-link").c_str()), 0);
            write_file(dir / "nested/deeper/file", "x");
            fs::create_symlink(target, dir / "link-to-target");
            fs::create_symlink(outside.path(), dir / "link-to-outside");
            write_file(dir / "locked/file", "y");
            ::chmod((dir / "locked").c_str(), 0);
            ::chmod((dir / "key").c_str(), 0400);
        }
        EXPECT_FALSE(fs::exists(path));
        EXPECT_EQ(read_file(target), "kept");
        EXPECT_EQ(read_file(outside / "key-link"),
                  shred == Shred::Yes ? std::string(16, '\0') : "secret-key-bytes");
    }
}
