// JSON text written as nlohmann's dump() writes it (the same bytes, tested against it), but
// with strings copied in runs instead of decoded byte by byte: the contract is 16 KB of text,
// and `schema` is measured by the instructions it takes. Numbers that are not integers,
// binary values and strings that are not UTF-8 are left to nlohmann.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/json.hpp"
#include "core/text.hpp"

namespace tarnwick {
namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighs = 0x8080808080808080ULL;

// Whether any of eight bytes is below 0x20, '"' or '\\' (the bytes written escaped).
bool needs_escape(std::uint64_t x) {
    auto zero_byte = [](std::uint64_t v) { return (v - kOnes) & ~v & kHighs; };
    const std::uint64_t below_space = (x - 0x20 * kOnes) & ~x & kHighs;
    return (below_space | zero_byte(x ^ ('"' * kOnes)) | zero_byte(x ^ ('\\' * kOnes))) != 0;
}

void write_string(std::string& out, const std::string& text) {
    if (!is_valid_utf8(text)) {
        out += Json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        return;
    }
    out += '"';
    std::size_t run = 0;  // start of the bytes not yet copied
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint64_t word = 0;
        if (i + 8 <= text.size() && (std::memcpy(&word, text.data() + i, 8), !needs_escape(word))) {
            i += 7;
            continue;
        }
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c != '"' && c != '\\') continue;
        out.append(text, run, i - run);
        run = i + 1;
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default: {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            }
        }
    }
    out.append(text, run, std::string::npos);
    out += '"';
}

void write_value(std::string& out, const Json& value, int indent, int depth) {
    const bool pretty = indent >= 0;
    auto newline = [&](int level) {
        if (!pretty) return;
        out += '\n';
        out.append(static_cast<std::size_t>(level) * static_cast<std::size_t>(indent), ' ');
    };
    switch (value.type()) {
        case Json::value_t::object: {
            if (value.empty()) {
                out += "{}";
                return;
            }
            out += '{';
            bool first = true;
            for (auto it = value.begin(); it != value.end(); ++it) {
                if (!first) out += ',';
                first = false;
                newline(depth + 1);
                write_string(out, it.key());
                out += pretty ? ": " : ":";
                write_value(out, it.value(), indent, depth + 1);
            }
            newline(depth);
            out += '}';
            return;
        }
        case Json::value_t::array: {
            if (value.empty()) {
                out += "[]";
                return;
            }
            out += '[';
            bool first = true;
            for (const Json& element : value) {
                if (!first) out += ',';
                first = false;
                newline(depth + 1);
                write_value(out, element, indent, depth + 1);
            }
            newline(depth);
            out += ']';
            return;
        }
        case Json::value_t::string:
            write_string(out, value.get_ref<const std::string&>());
            return;
        case Json::value_t::boolean:
            out += value.get<bool>() ? "true" : "false";
            return;
        case Json::value_t::null:
            out += "null";
            return;
        case Json::value_t::number_integer:
            out += std::to_string(value.get<std::int64_t>());
            return;
        case Json::value_t::number_unsigned:
            out += std::to_string(value.get<std::uint64_t>());
            return;
        default:
            out += value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
            return;
    }
}

}  // namespace

std::string write_json(const Json& value, int indent) {
    std::string out;
    out.reserve(indent >= 0 ? 1 << 15 : 1 << 10);
    write_value(out, value, indent, 0);
    return out;
}

}  // namespace tarnwick
