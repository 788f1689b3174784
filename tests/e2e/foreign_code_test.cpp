// `new` runs nobody else's code: a directory that appears at the destination while `new` runs
// is never written into, and a toolchain file near the destination never picks the cargo
// that formats and pins the project.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "scaffold_fixture.hpp"

using namespace tarnwick::testing;

namespace {

class ForeignCode : public ScaffoldRun {
protected:
    void SetUp() override { write_git_identity(home(), "Ada Lovelace", "ada@example.com"); }
};

}  // namespace

// Two runs that race for one name: the exclusive mkdir lets exactly one of them have it,
// every time; the other reports `exists` and writes nothing.
TEST_F(ForeignCode, OfTwoSimultaneousRunsForOneNameExactlyOneSucceeds) {
    std::vector<std::string> tools = shell_tools();
    tools.push_back("git");
    RunOptions options;
    options.env["PATH"] = std::string(TARNWICK_FAKES_DIR) + ":" + tool_dir(tools);
    constexpr int kTries = 30;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        SCOPED_TRACE("attempt " + std::to_string(attempt));
        TempDir place;
        options.cwd = place.path();
        int pids[2];
        for (int i = 0; i < 2; ++i) {
            pids[i] = start_tarnwick({"new", "demo", "--no-git", "-o", "text"}, home(), options,
                                     place / ("out" + std::to_string(i)),
                                     place / ("err" + std::to_string(i)));
            ASSERT_GT(pids[i], 0);
        }
        int won = 0;
        for (int i = 0; i < 2; ++i) {
            const auto r = finish_tarnwick(pids[i], place / ("out" + std::to_string(i)),
                                           place / ("err" + std::to_string(i)));
            if (r.exit_code == 0) {
                ++won;
                EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "Scaffolded ./demo (16 files)");
            } else {
                EXPECT_EQ(r.exit_code, 3) << r.err;
                EXPECT_NE(r.err.find("\"kind\":\"exists\""), std::string::npos) << r.err;
            }
        }
        EXPECT_EQ(won, 1);
    }
}
