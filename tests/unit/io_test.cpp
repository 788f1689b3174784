// The bounded whole-file read: an input of exactly the limit is read whole, one byte more is
// refused, and the largest limit means no limit at all.
#include "core/io.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>

#include "support/files.hpp"

using namespace tarnwick;
using tarnwick::testing::TempDir;
using tarnwick::testing::write_file;

namespace {

constexpr std::size_t kMiB = 1 << 20;

// Bytes that differ from one position to the next, so a lost or repeated chunk shows.
std::string pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    return bytes;
}

TEST(ReadAll, ReadsUpToTheLimitAndRefusesOneByteMore) {
    struct Case {
        std::size_t size;
        std::size_t limit;
        bool fits;
    };
    const Case cases[] = {
        {kMiB, kMiB, true},      {kMiB + 1, kMiB, false}, {kMiB - 1, kMiB, true},
        {kMiB, SIZE_MAX, true},  {0, SIZE_MAX, true},     {0, 0, true},
        {1, 0, false},           {65536, 65536, true},    {65537, 65536, false},
        {3 * 65536, kMiB, true},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE("size " + std::to_string(c.size) + ", limit " + std::to_string(c.limit));
        const std::string contents = pattern(c.size);
        write_file(dir / "input", contents);
        auto fd = open_fd(dir / "input", O_RDONLY);
        ASSERT_TRUE(fd.ok());
        auto bytes = read_all(fd->get(), c.limit);
        if (c.fits) {
            ASSERT_TRUE(bytes.ok()) << bytes.error().text();
            EXPECT_EQ(bytes->size(), c.size);
            EXPECT_TRUE(*bytes == contents);
        } else {
            ASSERT_FALSE(bytes.ok());
            EXPECT_EQ(bytes.error().code, EFBIG);
        }
    }
}

// The text reader keeps the byte limit of read_all and refuses what is not UTF-8, a sequence
// cut at the end included, with the message the user sees for it.
TEST(ReadUtf8, ReadsUtf8UpToTheLimitAndRefusesOtherBytes) {
    const std::string two_bytes = "\xc3\xa9";  // U+00E9
    std::string at_limit;
    while (at_limit.size() < kMiB) at_limit += two_bytes;
    struct Case {
        const char* name;
        std::string contents;
        int error;  // 0: read whole
    };
    const Case cases[] = {
        {"exactly the limit", at_limit, 0},
        {"one byte over", at_limit + "a", EFBIG},
        {"empty", "", 0},
        {"a lone continuation byte", "token\x80", OsError::kInvalidUtf8},
        {"a sequence cut at the end", at_limit.substr(0, kMiB - 1), OsError::kInvalidUtf8},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        write_file(dir / "input", c.contents);
        auto fd = open_fd(dir / "input", O_RDONLY);
        ASSERT_TRUE(fd.ok());
        auto text = read_utf8(fd->get(), kMiB);
        if (c.error == 0) {
            ASSERT_TRUE(text.ok()) << text.error().text();
            EXPECT_TRUE(*text == c.contents);
        } else {
            ASSERT_FALSE(text.ok());
            EXPECT_EQ(text.error().code, c.error);
        }
    }
    EXPECT_EQ(OsError{OsError::kInvalidUtf8}.text(), "stream did not contain valid UTF-8");
}

}  // namespace
