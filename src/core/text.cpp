#include "core/text.hpp"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>

namespace tarnwick {
namespace {

struct Decoded {
    char32_t cp;
    std::size_t length;
};

// Decodes one well-formed UTF-8 sequence at the start of s; returns the length of the
// maximal ill-formed prefix (at least 1) with cp = 0xFFFFFFFF when it is not well formed.
Decoded decode_one(std::string_view s) {
    constexpr char32_t bad = 0xFFFFFFFF;
    const auto b0 = static_cast<unsigned char>(s[0]);
    if (b0 < 0x80) return {b0, 1};
    std::size_t need = 0;
    char32_t cp = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 1;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 2;
        cp = b0 & 0x0F;
        if (b0 == 0xE0) lo = 0xA0;
        if (b0 == 0xED) hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 3;
        cp = b0 & 0x07;
        if (b0 == 0xF0) lo = 0x90;
        if (b0 == 0xF4) hi = 0x8F;
    } else {
        return {bad, 1};
    }
    std::size_t i = 1;
    for (; i <= need; ++i) {
        if (i >= s.size()) return {bad, i};
        const auto b = static_cast<unsigned char>(s[i]);
        if (b < lo || b > hi) return {bad, i};
        lo = 0x80;
        hi = 0xBF;
        cp = (cp << 6) | (b & 0x3F);
    }
    return {cp, need + 1};
}

// Decodes the last well-formed character of s, if s ends with one.
std::optional<Decoded> decode_last(std::string_view s) {
    for (std::size_t back = 1; back <= 4 && back <= s.size(); ++back) {
        const auto b = static_cast<unsigned char>(s[s.size() - back]);
        if ((b & 0xC0) == 0x80) continue;
        auto d = decode_one(s.substr(s.size() - back));
        if (d.cp != 0xFFFFFFFF && d.length == back) return d;
        return std::nullopt;
    }
    return std::nullopt;
}

void append_utf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool is_non_printable(char32_t cp) {
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0xAD ||
           (cp >= 0x200B && cp <= 0x200F) || (cp >= 0x2028 && cp <= 0x202E) ||
           (cp >= 0x2060 && cp <= 0x206F) || cp == 0xFEFF || (cp >= 0xFFF9 && cp <= 0xFFFB) ||
           (cp >= 0xE000 && cp <= 0xF8FF) || cp >= 0xF0000;
}

}  // namespace

std::optional<char32_t> next_code_point(std::string_view& text) {
    const Decoded d = decode_one(text);
    text.remove_prefix(d.length);
    if (d.cp == 0xFFFFFFFF) return std::nullopt;
    return d.cp;
}

bool is_unicode_white_space(char32_t cp) {
    return (cp >= 0x09 && cp <= 0x0D) || cp == 0x20 || cp == 0x85 || cp == 0xA0 || cp == 0x1680 ||
           (cp >= 0x2000 && cp <= 0x200A) || cp == 0x2028 || cp == 0x2029 || cp == 0x202F ||
           cp == 0x205F || cp == 0x3000;
}

namespace {
// The ASCII white space of is_unicode_white_space, for the byte-at-a-time fast paths below.
bool is_ascii_white_space(unsigned char c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20;
}
}  // namespace

std::string_view trim_start(std::string_view text) {
    while (!text.empty()) {
        const auto first = static_cast<unsigned char>(text.front());
        if (first < 0x80) {
            if (!is_ascii_white_space(first)) break;
            text.remove_prefix(1);
            continue;
        }
        auto d = decode_one(text);
        if (d.cp == 0xFFFFFFFF || !is_unicode_white_space(d.cp)) break;
        text.remove_prefix(d.length);
    }
    return text;
}

std::string_view trim_end(std::string_view text) {
    while (!text.empty()) {
        const auto last = static_cast<unsigned char>(text.back());
        if (last < 0x80) {
            if (!is_ascii_white_space(last)) break;
            text.remove_suffix(1);
            continue;
        }
        auto d = decode_last(text);
        if (!d || !is_unicode_white_space(d->cp)) break;
        text.remove_suffix(d->length);
    }
    return text;
}

std::string_view trim(std::string_view text) {
    return trim_end(trim_start(text));
}

namespace {
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
}  // namespace

bool is_valid_utf8(std::string_view bytes) {
    while (!bytes.empty()) {
        // Runs of ASCII, eight bytes at a time: templates and tool output are mostly that.
        std::uint64_t word = 0;
        if (bytes.size() >= 8 && (std::memcpy(&word, bytes.data(), 8), word & kHighBits) == 0) {
            bytes.remove_prefix(8);
            continue;
        }
        if (static_cast<unsigned char>(bytes.front()) < 0x80) {
            bytes.remove_prefix(1);
            continue;
        }
        auto d = decode_one(bytes);
        if (d.cp == 0xFFFFFFFF) return false;
        bytes.remove_prefix(d.length);
    }
    return true;
}

std::string decode_lossy(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    while (!bytes.empty()) {
        auto d = decode_one(bytes);
        if (d.cp == 0xFFFFFFFF)
            out += "\xEF\xBF\xBD";
        else
            out.append(bytes.substr(0, d.length));
        bytes.remove_prefix(d.length);
    }
    return out;
}

namespace {

// Appends text with the non-printable characters escaped; with quotes_too, also '"' and '\\'.
void append_escaped(std::string& out, std::string_view text, bool quotes_too) {
    while (!text.empty()) {
        auto d = decode_one(text);
        char32_t cp = d.cp == 0xFFFFFFFF ? 0xFFFD : d.cp;
        switch (cp) {
            case '"':
                out += quotes_too ? "\\\"" : "\"";
                break;
            case '\\':
                out += quotes_too ? "\\\\" : "\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\0':
                out += "\\0";
                break;
            default:
                if (is_non_printable(cp)) {
                    char buf[16];
                    std::snprintf(buf, sizeof buf, "\\u{%x}", static_cast<unsigned>(cp));
                    out += buf;
                } else {
                    append_utf8(out, cp);
                }
        }
        text.remove_prefix(d.length);
    }
}

}  // namespace

std::string quoted(std::string_view text) {
    std::string out = "\"";
    append_escaped(out, text, true);
    out += '"';
    return out;
}

std::string escape_non_printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    append_escaped(out, text, false);
    return out;
}

std::string posix_single_quoted(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

std::string shell_word(std::string_view text) {
    constexpr std::string_view kPlain = "@%+=:,./_-";
    bool plain = !text.empty();
    for (char c : text) {
        const bool alnum =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        plain = plain && (alnum || kPlain.find(c) != std::string_view::npos);
    }
    return plain ? std::string(text) : posix_single_quoted(text);
}

std::string os_error_text(int errnum) {
    return std::string(std::strerror(errnum)) + " (os error " + std::to_string(errnum) + ")";
}

}  // namespace tarnwick
