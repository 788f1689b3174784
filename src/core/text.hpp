// Text primitives shared by every subsystem: Unicode white-space trimming, lossy UTF-8
// decoding, the quoted (escaped) form of a name, joining, and the text of an OS error.
#pragma once

#include <cstddef>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// The pieces of text between separators, as views into it, read lazily: "a\nb" and "a\nb\n"
// both give "a", "b"; an empty text gives none; empty pieces inside are kept ("a\n\nb" gives
// "a", "", "b"). A line keeps a carriage return before its line feed.
class Pieces {
public:
    class iterator {
    public:
        using value_type = std::string_view;
        using difference_type = std::ptrdiff_t;
        iterator() = default;
        iterator(std::string_view rest, char separator) : rest_(rest), separator_(separator) {
            advance();
        }
        std::string_view operator*() const { return piece_; }
        iterator& operator++() {
            advance();
            return *this;
        }
        void operator++(int) { advance(); }
        friend bool operator==(const iterator& it, std::default_sentinel_t) { return it.done_; }

    private:
        void advance() {
            if (rest_.empty()) {
                done_ = true;
                return;
            }
            const auto end = rest_.find(separator_);
            piece_ = rest_.substr(0, end);
            rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
        }
        std::string_view rest_;
        std::string_view piece_;
        char separator_ = '\n';
        bool done_ = false;
    };

    Pieces(std::string_view text, char separator) : text_(text), separator_(separator) {}
    iterator begin() const { return {text_, separator_}; }
    std::default_sentinel_t end() const { return {}; }
    // Every piece, copied.
    std::vector<std::string> strings() const {
        std::vector<std::string> out;
        for (std::string_view piece : *this) out.emplace_back(piece);
        return out;
    }

private:
    std::string_view text_;
    char separator_;
};

inline Pieces split(std::string_view text, char separator) {
    return {text, separator};
}
inline Pieces lines(std::string_view text) {
    return {text, '\n'};
}

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
