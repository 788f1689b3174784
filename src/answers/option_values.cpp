// The generated Cargo.toml, pyproject.toml, src/main.rs and workflows quote these values
// without escaping; refusing the few characters that break a quoted literal keeps every
// project that `new` writes parseable, while leaving all other text (unicode, "#", braces)
// exactly as typed. The release workflow is code that runs with the tap's deploy key in its
// environment, so what would be evaluated there is refused too.
#include "answers/option_values.hpp"

#include <cstdio>
#include <optional>
#include <string>

#include "answers/commit_identity.hpp"
#include "core/text.hpp"

namespace tarnwick {
namespace {

constexpr std::string_view kBreaksFiles =
    "quotes, backslashes and control characters would break the generated files";

bool is_control(char32_t cp) {
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F);
}

// Text that is not UTF-8 breaks the files too: TOML and YAML are UTF-8 only.
bool breaks_literal(std::string_view text) {
    while (!text.empty()) {
        const auto cp = next_code_point(text);
        if (!cp || *cp == '"' || *cp == '\\' || is_control(*cp)) return true;
    }
    return false;
}

// What a description must not hold, and why: the release workflow pastes it into YAML that
// GitHub evaluates before any shell runs, and into the formula's Ruby string `desc "..."`.
struct Opener {
    std::string_view text;
    std::string_view why;
};
constexpr Opener kEvaluatedOpeners[] = {
    {"${{", "GitHub Actions would evaluate it in the release workflow"},
    {"#{", "Ruby would interpolate it in the Homebrew formula"},
    {"#@", "Ruby would interpolate it in the Homebrew formula"},
    {"#$", "Ruby would interpolate it in the Homebrew formula"},
};

// git drops these from both ends of a name, and refuses a name of nothing else.
bool is_git_crud(char c) {
    return static_cast<unsigned char>(c) <= ' ' || c == '.' || c == ',' || c == ':' || c == ';' ||
           c == '<' || c == '>' || c == '"' || c == '\\' || c == '\'';
}

// Characters that are valid UTF-8 and no control, yet still break a generated file: YAML 1.1
// reads the two separators as line breaks (so a description could add keys to a step of
// release.yml), rustc refuses bidirectional controls in source text (src/main.rs holds the
// description and the author), and YAML does not allow the non-characters at all.
struct RefusedCharacter {
    char32_t cp;
    std::string_view why;
};

std::optional<RefusedCharacter> refused_character(std::string_view text) {
    while (!text.empty()) {
        const auto cp = next_code_point(text);
        if (!cp) continue;
        if (*cp == 0x2028 || *cp == 0x2029) {
            return RefusedCharacter{*cp, "YAML reads it as a line break in the release workflow"};
        }
        if ((*cp >= 0x202A && *cp <= 0x202E) || (*cp >= 0x2066 && *cp <= 0x2069)) {
            return RefusedCharacter{
                *cp, "a bidirectional control would stop the generated crate compiling"};
        }
        if ((*cp >= 0xFDD0 && *cp <= 0xFDEF) || (*cp & 0xFFFE) == 0xFFFE) {
            return RefusedCharacter{*cp, "a Unicode non-character is not allowed in YAML"};
        }
    }
    return std::nullopt;
}

std::string code_point_name(char32_t cp) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(cp));
    return buf;
}

std::string refused_character_text(const RefusedCharacter& refused) {
    return code_point_name(refused.cp) + " is refused: " + std::string(refused.why);
}

std::string author_label(std::string_view author, bool from_git_config) {
    return from_git_config
               ? "invalid author " + quoted(author) + " from git config user.name/user.email"
               : "invalid --author " + quoted(author);
}

std::string author_advice(bool from_git_config) {
    return from_git_config ? "; pass --author" : "";
}

}  // namespace

Status check_description(std::string_view description) {
    if (breaks_literal(description)) {
        return CliError::usage("invalid --description " + quoted(description) + ": " +
                               std::string(kBreaksFiles));
    }
    for (const Opener& opener : kEvaluatedOpeners) {
        if (description.find(opener.text) == std::string_view::npos) continue;
        return CliError::usage("invalid --description " + quoted(description) + ": \"" +
                               std::string(opener.text) + "\" is refused, " +
                               std::string(opener.why));
    }
    if (auto refused = refused_character(description)) {
        return CliError::usage("invalid --description " + quoted(description) + ": " +
                               refused_character_text(*refused));
    }
    return Ok{};
}

Status check_author(std::string_view author, bool from_git_config) {
    if (breaks_literal(author)) {
        return CliError::usage(author_label(author, from_git_config) + ": " +
                               std::string(kBreaksFiles) + author_advice(from_git_config));
    }
    if (auto refused = refused_character(author)) {
        return CliError::usage(author_label(author, from_git_config) + ": " +
                               refused_character_text(*refused) + author_advice(from_git_config));
    }
    return Ok{};
}

Status check_commit_author(std::string_view author, bool from_git_config) {
    const std::string name = commit_identity(author).name;
    for (char c : name) {
        if (!is_git_crud(c)) return Ok{};
    }
    return CliError::usage(author_label(author, from_git_config) +
                           ": git refuses the commit name " + tarnwick::quoted(name) +
                           ", which is only punctuation" + author_advice(from_git_config));
}

}  // namespace tarnwick
