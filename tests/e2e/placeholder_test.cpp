#include <gtest/gtest.h>
TEST(E2e, Binary) { EXPECT_TRUE(true); }
