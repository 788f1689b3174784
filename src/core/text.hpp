// Text primitives shared by every subsystem: Unicode white-space trimming, lossy UTF-8
// decoding, the quoted (escaped) form of a name, joining, and the text of an OS error.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

// True for a code point with the Unicode White_Space property.
bool is_unicode_white_space(char32_t cp);

// Removes White_Space characters from both ends of UTF-8 text (bytes that are not
// well-formed UTF-8 are never treated as white space).
std::string_view trim(std::string_view text);
std::string_view trim_start(std::string_view text);
std::string_view trim_end(std::string_view text);

bool is_valid_utf8(std::string_view bytes);

// Decodes the code point at the start of text and advances past it; an ill-formed sequence
// gives nothing and is skipped (its maximal ill-formed prefix, at least one byte).
std::optional<char32_t> next_code_point(std::string_view& text);

// Decodes bytes as UTF-8, replacing every maximal ill-formed subsequence with U+FFFD.
std::string decode_lossy(std::string_view bytes);

// The name between double quotes with quote, backslash and control characters escaped:
// \t \r \n \0 by name, other non-printable characters as \u{hex}.
std::string quoted(std::string_view text);

// The text for a terminal: control and other non-printable characters written as in quoted()
// (\t \r \n \0, else \u{hex}), everything else, quotes and backslashes included, unchanged.
// Bytes that are not UTF-8 show as U+FFFD.
std::string escape_non_printable(std::string_view text);

// A single-quoted word for a POSIX shell: nothing inside is expanded; a quote is '\''.
std::string posix_single_quoted(std::string_view text);

// One word for a POSIX shell: unchanged when every byte is an ASCII letter, digit or one of
// "@%+=:,./_-", else between single quotes with each "'"
// written as '\''. An empty text is ''.
std::string shell_word(std::string_view text);

// The items with separator between each two.
template <class Range>
std::string join(const Range& items, std::string_view separator) {
    std::string out;
    bool first = true;
    for (const auto& item : items) {
        if (!first) out += separator;
        out += item;
        first = false;
    }
    return out;
}

// "<description> (os error <n>)", the way every OS failure reads in messages.
std::string os_error_text(int errnum);

}  // namespace tarnwick
