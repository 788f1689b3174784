// Lossy UTF-8 decoding and trimming: output is always valid UTF-8, valid input survives
// unchanged, and trimming is idempotent and never invents bytes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/text.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view in(reinterpret_cast<const char*>(data), size);
    std::string decoded = tarnwick::decode_lossy(in);
    if (!tarnwick::is_valid_utf8(decoded)) std::abort();
    if (tarnwick::is_valid_utf8(in) && decoded != in) std::abort();
    std::string_view t = tarnwick::trim(in);
    if (tarnwick::trim(t) != t) std::abort();
    if (t.size() > in.size() || in.find(t) == std::string_view::npos) std::abort();
    std::string q = tarnwick::quoted(in);
    if (!tarnwick::is_valid_utf8(q) || q.front() != '"' || q.back() != '"') std::abort();
    return 0;
}
