#include <gtest/gtest.h>

#include "support/harness.hpp"

using namespace tarnwick::testing;

TEST(EntryPoint, NoArgumentsIsTheMissingCommandEnvelope) {
    TempDir home;
    auto r = run_tarnwick({}, home.path());
    EXPECT_EQ(r.exit_code, 3);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "{\"error\":{\"exit_code\":3,\"hint\":\"see `tarnwick --help` or `tarnwick "
              "schema`\",\"kind\":\"usage\",\"message\":\"no command given (try `tarnwick new "
              "<name>`)\"}}\n");
}
