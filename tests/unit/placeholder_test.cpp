#include <gtest/gtest.h>
#include "core/text.hpp"
TEST(Text, TrimsUnicodeWhiteSpace) { EXPECT_EQ(tarnwick::trim("\xC2\xA0 a b\t\n"), "a b"); }
