// The toolchain name that `new` pins, read from what rustup prints.
#include "process/cargo_toolchain.hpp"

#include <gtest/gtest.h>

using tarnwick::active_toolchain_name;

TEST(ActiveToolchainName, FirstWordsBeforeTheReason) {
    struct Case {
        const char* output;
        std::optional<std::string> name;
    };
    const Case cases[] = {
        {"stable-x86_64-unknown-linux-gnu (default)\n", "stable-x86_64-unknown-linux-gnu"},
        {"1.90.0-x86_64-unknown-linux-gnu (overridden by '/w/rust-toolchain.toml')\n",
         "1.90.0-x86_64-unknown-linux-gnu"},
        {"nightly (active, default)\nsecond line\n", "nightly"},
        {"beta\n", "beta"},
        {"", std::nullopt},
        {"\n", std::nullopt},
        {" (default)\n", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output);
        EXPECT_EQ(active_toolchain_name(c.output), c.name);
    }
}
