// The crate-name rule and its quoted form: accepted names are exactly [a-z][a-z0-9_-]{0,63}
// whose snake form is no Rust keyword, built-in crate, cargo directory name or dependency of
// the generated crate; refusals quote the name in one line of valid UTF-8, and the derived
// spellings stay clean.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "answers/crate_name.hpp"
#include "core/text.hpp"

namespace {
bool rule(std::string_view s) {
    if (s.empty() || s.size() > 64 || s[0] < 'a' || s[0] > 'z') return false;
    for (char c : s) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
        if (!ok) return false;
    }
    return true;
}

// The oracle's own list of words that no crate may be called (in snake form).
bool reserved(std::string snake) {
    std::replace(snake.begin(), snake.end(), '-', '_');
    static constexpr std::array<std::string_view, 66> kWords = {"abstract",  "as",
                                                                "async",     "await",
                                                                "become",    "box",
                                                                "break",     "const",
                                                                "continue",  "crate",
                                                                "do",        "dyn",
                                                                "else",      "enum",
                                                                "extern",    "false",
                                                                "final",     "fn",
                                                                "for",       "gen",
                                                                "if",        "impl",
                                                                "in",        "let",
                                                                "loop",      "macro",
                                                                "match",     "mod",
                                                                "move",      "mut",
                                                                "override",  "priv",
                                                                "pub",       "ref",
                                                                "return",    "self",
                                                                "static",    "struct",
                                                                "super",     "trait",
                                                                "true",      "try",
                                                                "type",      "typeof",
                                                                "unsafe",    "unsized",
                                                                "use",       "virtual",
                                                                "where",     "while",
                                                                "yield",     "alloc",
                                                                "core",      "proc_macro",
                                                                "std",       "test",
                                                                "build",     "deps",
                                                                "examples",  "incremental",
                                                                "clap",      "clap_complete",
                                                                "serde",     "serde_json",
                                                                "thiserror", "jsonschema"};
    return std::find(kWords.begin(), kWords.end(), snake) != kWords.end();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view name(reinterpret_cast<const char*>(data), size);
    auto status = tarnwick::validate_crate_name(name);
    if (status.ok() != (rule(name) && !reserved(std::string(name)))) std::abort();
    if (!status.ok()) {
        std::string message = status.error().message();
        if (message.find(tarnwick::quoted(name)) == std::string::npos) std::abort();
        if (!tarnwick::is_valid_utf8(message)) std::abort();
        if (status.error().exit_code() != 3) std::abort();
        return 0;
    }
    std::string snake = tarnwick::snake_name(name);
    if (snake.size() != name.size() || snake.find('-') != std::string::npos) std::abort();
    for (char c : tarnwick::pascal_name(name)) {
        if (c == '-' || c == '_') std::abort();
    }
    return 0;
}
