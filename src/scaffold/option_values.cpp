// The generated Cargo.toml, pyproject.toml, src/main.rs and workflows quote these values
// without escaping; refusing the few characters that break a quoted literal keeps every
// project that `new` writes parseable, while leaving all other text (unicode, "#", braces)
// exactly as typed.
#include "scaffold/option_values.hpp"

#include <string>

#include "core/text.hpp"

namespace tarnwick {
namespace {

constexpr std::string_view kBreaksFiles =
    "quotes, backslashes and control characters would break the generated files";

// Decodes one code point of well-formed UTF-8; a stray byte is returned as itself.
char32_t next_code_point(std::string_view& s) {
    const auto b0 = static_cast<unsigned char>(s[0]);
    std::size_t length = b0 < 0x80 ? 1 : b0 < 0xE0 ? 2 : b0 < 0xF0 ? 3 : 4;
    if (b0 >= 0x80 && b0 < 0xC0) length = 1;
    if (length > s.size()) length = 1;
    char32_t cp = length == 1   ? b0
                  : length == 2 ? (b0 & 0x1F)
                  : length == 3 ? (b0 & 0x0F)
                                : (b0 & 0x07);
    for (std::size_t i = 1; i < length; ++i) {
        cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
    }
    s.remove_prefix(length);
    return cp;
}

bool is_control(char32_t cp) {
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F);
}

bool breaks_literal(std::string_view text) {
    while (!text.empty()) {
        char32_t cp = next_code_point(text);
        if (cp == '"' || cp == '\\' || is_control(cp)) return true;
    }
    return false;
}

bool has_white_space_or_slash(std::string_view text) {
    while (!text.empty()) {
        char32_t cp = next_code_point(text);
        if (cp == '/' || is_unicode_white_space(cp)) return true;
    }
    return false;
}

}  // namespace

Status check_description(std::string_view description) {
    if (!breaks_literal(description)) return Ok{};
    return CliError::usage("invalid --description " + quoted(description) + ": " +
                           std::string(kBreaksFiles));
}

Status check_author(std::string_view author, bool from_git_config) {
    if (!breaks_literal(author)) return Ok{};
    if (from_git_config) {
        return CliError::usage("invalid author " + quoted(author) +
                               " from git config user.name/user.email: " +
                               std::string(kBreaksFiles) + "; pass --author");
    }
    return CliError::usage("invalid --author " + quoted(author) + ": " + std::string(kBreaksFiles));
}

Status check_owner(std::string_view owner) {
    if (!owner.empty() && !breaks_literal(owner) && !has_white_space_or_slash(owner)) {
        return Ok{};
    }
    return CliError::usage("invalid --owner " + quoted(owner) +
                           ": use a GitHub user or organization name, without \"/\", white "
                           "space, quotes, backslashes or control characters");
}

}  // namespace tarnwick
