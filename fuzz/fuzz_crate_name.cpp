// The crate-name rule and its quoted form: accepted names are exactly [a-z][a-z0-9_-]{0,63},
// refusals quote the name in one line of valid UTF-8, and the derived spellings stay clean.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/text.hpp"
#include "scaffold/crate_name.hpp"

namespace {
bool rule(std::string_view s) {
    if (s.empty() || s.size() > 64 || s[0] < 'a' || s[0] > 'z') return false;
    for (char c : s) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
        if (!ok) return false;
    }
    return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view name(reinterpret_cast<const char*>(data), size);
    auto status = tarnwick::validate_crate_name(name);
    if (status.ok() != rule(name)) std::abort();
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
