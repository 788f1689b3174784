// Crate names are checked byte by byte on the name exactly as typed: no trimming, no case
// folding, so anything outside ASCII is refused. A name that passes the character rule is
// then checked, in its snake form, against the words cargo or rustc would refuse and the
// names of the generated crate's dependencies.
#include "answers/crate_name.hpp"

#include <algorithm>
#include <span>

#include "core/text.hpp"

namespace tarnwick {
namespace {

constexpr std::size_t kMaxNameBytes = 64;

// Strict and reserved keywords of edition 2024 (the generated crate's edition); `use name::`
// cannot name such a crate. "Self" is one too, but no valid name has a capital.
constexpr std::string_view kKeywords[] = {
    "abstract", "as",     "async",   "await",    "become", "box",    "break", "const",  "continue",
    "crate",    "do",     "dyn",     "else",     "enum",   "extern", "false", "final",  "fn",
    "for",      "gen",    "if",      "impl",     "in",     "let",    "loop",  "macro",  "match",
    "mod",      "move",   "mut",     "override", "priv",   "pub",    "ref",   "return", "self",
    "static",   "struct", "super",   "trait",    "true",   "try",    "type",  "typeof", "unsafe",
    "unsized",  "use",    "virtual", "where",    "while",  "yield"};

// Crates every Rust program can already name; a package of the same name cannot be used.
constexpr std::string_view kBuiltinCrates[] = {"alloc", "core", "proc_macro", "std", "test"};

// Directories of cargo's target folder, which cargo refuses as binary names.
constexpr std::string_view kCargoBinNames[] = {"build", "deps", "examples", "incremental"};

// The generated crate's own dependencies, dev-dependencies included: a library of the same
// name makes `use name::` ambiguous (E0464), so the project would not compile.
constexpr std::string_view kDependencies[] = {"clap",  "clap_complete", "jsonschema",
                                              "serde", "serde_json",    "thiserror"};

bool listed(std::span<const std::string_view> words, std::string_view word) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

// Why the snake form of a well-formed name cannot be used, or empty when it can.
std::string_view reserved_reason(std::string_view snake) {
    if (listed(kKeywords, snake)) return "it is a Rust keyword";
    if (listed(kBuiltinCrates, snake)) return "it is the name of a built-in Rust crate";
    if (listed(kCargoBinNames, snake)) return "cargo reserves it for a build directory";
    if (listed(kDependencies, snake)) return "the generated crate depends on a crate of that name";
    return {};
}

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
    if (!valid) {
        return CliError::usage(
            "invalid crate name " + quoted(name) +
            ": use lowercase letters, digits, '-' or '_', starting with a letter");
    }
    const std::string snake = snake_name(name);
    const std::string_view reason = reserved_reason(snake);
    if (reason.empty()) return Ok{};
    // "proc-macro" is refused for what it becomes in Rust code, so say so.
    const std::string as_snake = snake == name ? "" : "as " + snake + ", ";
    return CliError::usage("invalid crate name " + quoted(name) + ": " + as_snake +
                           std::string(reason));
}

Status validate_python_name(std::string_view name) {
    if (!name.empty() && (is_lower(name.back()) || is_digit(name.back()))) return Ok{};
    return CliError::usage("invalid crate name " + quoted(name) +
                           ": a PyPI package name must end with a letter or digit (or pass "
                           "--no-pypi)");
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
