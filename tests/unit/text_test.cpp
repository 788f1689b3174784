#include "core/text.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using tarnwick::decode_lossy;
using tarnwick::escape_non_printable;
using tarnwick::is_valid_utf8;
using tarnwick::os_error_text;
using tarnwick::shell_word;

using tarnwick::trim;

TEST(Trim, RemovesUnicodeWhiteSpaceAtBothEnds) {
    EXPECT_EQ(trim(" \t\r\n demo \n"), "demo");
    // NO-BREAK SPACE, EM SPACE, IDEOGRAPHIC SPACE, NEXT LINE
    EXPECT_EQ(trim("\xC2\xA0\xE2\x80\x83"
                   "a b"
                   "\xE3\x80\x80\xC2\x85"),
              "a b");
    EXPECT_EQ(trim("   "), "");
    EXPECT_EQ(trim(""), "");
}

TEST(Trim, KeepsNonWhiteSpaceAndBrokenBytes) {
    // ZERO WIDTH SPACE is not White_Space; a stray continuation byte is never white space.
    EXPECT_EQ(trim("\xE2\x80\x8B"
                   "x"),
              "\xE2\x80\x8B"
              "x");
    EXPECT_EQ(trim("x \x80"), "x \x80");
    EXPECT_EQ(trim("\x85 x"), "\x85 x");
}

TEST(DecodeLossy, ReplacesEachMaximalIllFormedSubsequence) {
    EXPECT_EQ(decode_lossy("ok"), "ok");
    EXPECT_EQ(decode_lossy("a\xFF"
                           "b"),
              "a\xEF\xBF\xBD"
              "b");
    // A truncated three-byte sequence is one replacement, not two.
    EXPECT_EQ(decode_lossy("\xE2\x82"
                           "x"),
              "\xEF\xBF\xBD"
              "x");
    // Surrogates and overlong forms are ill formed byte by byte.
    EXPECT_EQ(decode_lossy("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(decode_lossy("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(decode_lossy("caf\xC3\xA9"), "caf\xC3\xA9");
    EXPECT_EQ(decode_lossy("\xF0\x9F\x98"), "\xEF\xBF\xBD");
}

TEST(Utf8, ValidityCheck) {
    EXPECT_TRUE(is_valid_utf8("caf\xC3\xA9 \xF0\x9F\x98\x80"));
    EXPECT_FALSE(is_valid_utf8("\xF4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_FALSE(is_valid_utf8("\xC3"));
    // Around the eight-byte ASCII runs: a bad byte after, inside or before a run is found.
    EXPECT_FALSE(is_valid_utf8("abcdefgh\xC3"));
    EXPECT_FALSE(
        is_valid_utf8("abc\xFF"
                      "defghijkl"));
    EXPECT_FALSE(is_valid_utf8("abcdefghijklmnop\xED\xA0\x80qrstuvwx"));  // a surrogate
    EXPECT_TRUE(is_valid_utf8("abcdefg\xC3\xA9hijklmnopqrstuvwxyz\xE2\x80\x94"));
}

TEST(Quoted, EscapesQuotesBackslashesAndControls) {
    EXPECT_EQ(tarnwick::quoted("My-App"), "\"My-App\"");
    EXPECT_EQ(tarnwick::quoted("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(tarnwick::quoted(std::string("t\tr\rn\nz\0", 8)), "\"t\\tr\\rn\\nz\\0\"");
    EXPECT_EQ(tarnwick::quoted("\x1b[1m"), "\"\\u{1b}[1m\"");
    EXPECT_EQ(tarnwick::quoted("\x7f"), "\"\\u{7f}\"");
    EXPECT_EQ(tarnwick::quoted("caf\xC3\xA9"), "\"caf\xC3\xA9\"");
}

TEST(OsErrorText, DescriptionThenNumber) {
    EXPECT_EQ(os_error_text(2), "No such file or directory (os error 2)");
    EXPECT_EQ(os_error_text(32), "Broken pipe (os error 32)");
}

TEST(Text, ShellWordsAreQuotedOnlyWhereAShellWouldReadThemOtherwise) {
    struct Case {
        const char* text;
        const char* word;
    };
    for (const Case& c : {
             Case{"./demo", "./demo"},
             Case{"/tmp/a-b_c.d/x@y%z+w=v:u,t", "/tmp/a-b_c.d/x@y%z+w=v:u,t"},
             Case{"my projects/demo", "'my projects/demo'"},
             Case{"x;echo INJECTED;y/demo", "'x;echo INJECTED;y/demo'"},
             Case{"it's/demo", "'it'\\''s/demo'"},
             Case{"$HOME/`id`/*", "'$HOME/`id`/*'"},
             Case{"caf\xC3\xA9", "'caf\xC3\xA9'"},
             Case{"", "''"},
         }) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(shell_word(c.text), c.word);
    }
}

TEST(Text, NonPrintableCharactersAreEscapedForATerminal) {
    EXPECT_EQ(escape_non_printable("plain \"q\" \\ caf\xC3\xA9"), "plain \"q\" \\ caf\xC3\xA9");
    EXPECT_EQ(escape_non_printable("a\x1b[31mb\tc\nd"), "a\\u{1b}[31mb\\tc\\nd");
    EXPECT_EQ(escape_non_printable("\xC2\x9B"
                                   "2J \xE2\x80\xAE x \xFF"),
              "\\u{9b}2J \\u{202e} x \xEF\xBF\xBD");
}

TEST(Text, SplitGivesThePiecesBetweenSeparatorsWithoutAFinalEmptyOne) {
    using namespace std::string_literals;
    struct Case {
        std::string text;
        char separator;
        std::vector<std::string> pieces;
    };
    const std::vector<Case> cases = {
        {"", '\n', {}},
        {"\n", '\n', {""}},
        {"a", '\n', {"a"}},
        {"a\n", '\n', {"a"}},
        {"a\nb", '\n', {"a", "b"}},
        {"a\n\nb\n", '\n', {"a", "", "b"}},
        {"a\r\nb\r\n", '\n', {"a\r", "b\r"}},
        {"\n\n", '\n', {"", ""}},
        {"one\0two\0"s, '\0', {"one", "two"}},
        {"\0x\0\0"s, '\0', {"", "x", ""}},
        {"a\nb", '\0', {"a\nb"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(tarnwick::quoted(c.text));
        EXPECT_EQ(tarnwick::split(c.text, c.separator).strings(), c.pieces);
        std::vector<std::string> viewed;
        for (std::string_view piece : tarnwick::split(c.text, c.separator)) {
            // Each piece is a view into the text, not a copy.
            EXPECT_TRUE(piece.empty() ||
                        (piece.data() >= c.text.data() &&
                         piece.data() + piece.size() <= c.text.data() + c.text.size()));
            viewed.emplace_back(piece);
        }
        EXPECT_EQ(viewed, c.pieces);
        if (c.separator == '\n') {
            EXPECT_EQ(tarnwick::lines(c.text).strings(), c.pieces);
        }
    }
}
