// Crate names are checked byte by byte on the name exactly as typed: no trimming, no case
// folding, so anything outside ASCII is refused.
#include "scaffold/crate_name.hpp"

#include "core/text.hpp"

namespace tarnwick {
namespace {

constexpr std::size_t kMaxNameBytes = 64;

bool is_lower(char c) {
    return c >= 'a' && c <= 'z';
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}
bool is_separator(char c) {
    return c == '-' || c == '_';
}

}  // namespace

Status validate_crate_name(std::string_view name) {
    bool valid = !name.empty() && name.size() <= kMaxNameBytes && is_lower(name.front());
    for (char c : name) valid = valid && (is_lower(c) || is_digit(c) || is_separator(c));
    if (valid) return Ok{};
    return CliError::usage("invalid crate name " + quoted(name) +
                           ": use lowercase letters, digits, '-' or '_', starting with a letter");
}

std::string snake_name(std::string_view name) {
    std::string out(name);
    for (char& c : out) {
        if (c == '-') c = '_';
    }
    return out;
}

std::string pascal_name(std::string_view name) {
    std::string out;
    bool piece_start = true;
    for (char c : name) {
        if (is_separator(c)) {
            piece_start = true;
            continue;
        }
        out += piece_start && is_lower(c) ? static_cast<char>(c - 'a' + 'A') : c;
        piece_start = false;
    }
    return out;
}

}  // namespace tarnwick
