// The cargo credentials and .pypirc scanners: whatever they return is a non-empty, trimmed
// piece of the input, and the cargo token never keeps an outer double quote.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/text.hpp"
#include "secrets/token_sources.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (auto token = tarnwick::scan_cargo_credentials(text)) {
        if (token->empty() || text.find(*token) == std::string_view::npos) std::abort();
        if (token->front() == '"' || token->back() == '"') std::abort();
    }
    if (auto password = tarnwick::scan_pypirc(text)) {
        if (password->empty() || text.find(*password) == std::string_view::npos) std::abort();
        if (tarnwick::trim(*password) != *password) std::abort();
    }
    return 0;
}
