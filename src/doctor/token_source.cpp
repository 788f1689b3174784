// Naming a token's source by comparing the token with what each source, in lookup order,
// would give.
#include "doctor/token_source.hpp"

#include <cstdlib>

#include "core/text.hpp"
#include "doctor/project_files.hpp"
#include "secrets/token_sources.hpp"

namespace tarnwick {
namespace {

bool env_gives(const char* name, const std::string& token) {
    const char* value = std::getenv(name);
    return value != nullptr && trim(value) == token;
}

// Only a small regular file is read, as the secrets lookup does: a FIFO would block.
std::string read_text(const std::string& path) {
    auto text = read_regular_file(path, 1 << 20);
    return text ? std::move(text).value() : std::string();
}

}  // namespace

std::optional<std::string> cargo_token_source() {
    const Token token = cargo_token();
    if (!token) return std::nullopt;
    if (env_gives("CARGO_REGISTRY_TOKEN", *token)) return "$CARGO_REGISTRY_TOKEN";
    const char* cargo_home = std::getenv("CARGO_HOME");
    const char* home = std::getenv("HOME");
    const std::string dir = cargo_home ? cargo_home : std::string(home ? home : "") + "/.cargo";
    const std::string prefix = dir.empty() ? std::string() : dir + "/";
    const std::string toml = prefix + "credentials.toml";
    if (scan_cargo_credentials(read_text(toml)) == token) return decode_lossy(toml);
    return decode_lossy(prefix + "credentials");
}

std::optional<std::string> pypi_token_source() {
    auto token = pypi_token(false);
    if (!token || !token.value()) return std::nullopt;
    for (const char* name : {"PYPI_API_TOKEN", "UV_PUBLISH_TOKEN"}) {
        if (env_gives(name, *token.value())) return "$" + std::string(name);
    }
    const char* home = std::getenv("HOME");
    return decode_lossy(std::string(home ? home : "") + "/.pypirc");
}

}  // namespace tarnwick
