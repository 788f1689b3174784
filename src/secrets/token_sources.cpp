// Token lookups. The scanners are pure functions over text so they can be tested on their own;
// the rest reads the environment, files and stdin and hands the text to them.
#include "secrets/token_sources.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "core/io.hpp"
#include "core/text.hpp"

namespace tarnwick {
namespace {

// Calls visit(section, line) for every non-empty trimmed line that is not a section header;
// a header "[ name ]" changes the section to the trimmed name.
template <class Visit>
void scan_lines(std::string_view text, Visit visit) {
    std::string_view section;
    for (const std::string_view raw : lines(text)) {
        const std::string_view line = trim(raw);
        if (line.empty()) continue;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            section = trim(line.substr(1, line.size() - 2));
        } else if (visit(section, line)) {
            return;
        }
    }
}

// For a line "<key> = value" (blanks allowed before "="), the trimmed text after "=".
std::optional<std::string_view> assigned_value(std::string_view line, std::string_view key) {
    if (line.substr(0, key.size()) != key) return std::nullopt;
    std::string_view rest = trim_start(line.substr(key.size()));
    if (rest.empty() || rest.front() != '=') return std::nullopt;
    return trim(rest.substr(1));
}

std::optional<std::string> env_text(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || !is_valid_utf8(value)) return std::nullopt;
    return std::string(value);
}

std::optional<FoundToken> env_token(const char* name) {
    auto value = env_text(name);
    if (!value) return std::nullopt;
    auto trimmed = trim(*value);
    if (trimmed.empty()) return std::nullopt;
    return FoundToken{std::string(trimmed), std::string("$") + name};
}

std::optional<FoundToken> from_file(Token token, const std::string& path) {
    if (!token) return std::nullopt;
    return FoundToken{std::move(*token), decode_lossy(path)};
}

// No token source is anywhere near this size; the cap keeps an endless source (/dev/zero,
// a device, a growing file) from taking the machine's memory.
constexpr std::size_t kReadLimit = std::size_t{1} << 20;
constexpr std::string_view kReadLimitText = "1 MiB";

bool small_regular_file(const struct stat& st) {
    return S_ISREG(st.st_mode) && static_cast<std::size_t>(st.st_size) <= kReadLimit;
}

// The whole file as UTF-8 text; nothing when it cannot be opened or read, is not a regular
// file (a FIFO, a device, a directory), is larger than the cap, or is not UTF-8. The open
// never waits: O_NONBLOCK keeps a FIFO without a writer from hanging it, and the type is
// checked again on the open descriptor, in case the name was swapped in between.
std::optional<std::string> read_utf8_file(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !small_regular_file(st)) return std::nullopt;
    auto fd = open_fd(path, O_RDONLY | O_NONBLOCK | O_NOCTTY);
    if (!fd || ::fstat(fd->get(), &st) != 0 || !small_regular_file(st)) return std::nullopt;
    auto text = read_utf8(fd->get(), kReadLimit);
    if (!text) return std::nullopt;
    return std::move(text).value();
}

Result<std::string> read_stdin_utf8() {
    auto bytes = read_utf8(STDIN_FILENO, kReadLimit);
    if (!bytes && bytes.error().code == EFBIG) {
        return CliError::io("standard input is larger than the " + std::string(kReadLimitText) +
                            " limit for a token");
    }
    if (!bytes) return io_error(bytes.error());
    return std::move(bytes).value();
}

template <std::size_t N>
std::string places(const std::array<const char*, N>& variables, std::string_view files) {
    std::string out;
    for (const char* name : variables) out.append("$").append(name).append(", ");
    out.replace(out.size() - 2, 2, " or ");
    return out + std::string(files);
}

}  // namespace

std::string cargo_token_places() {
    return places(kCargoTokenVariables, "the credentials file in $CARGO_HOME or ~/.cargo");
}

std::string pypi_token_places() {
    return places(kPypiTokenVariables, "~/.pypirc");
}

Token scan_cargo_credentials(std::string_view text) {
    Token found, fallback;
    scan_lines(text, [&](std::string_view section, std::string_view line) {
        auto value = assigned_value(line, "token");
        if (!value) return false;
        std::string_view token = *value;
        while (!token.empty() && token.front() == '"') token.remove_prefix(1);
        while (!token.empty() && token.back() == '"') token.remove_suffix(1);
        if (token.empty()) return false;
        if (section == "registry" || section == "registries.crates-io") {
            found = std::string(token);
            return true;
        }
        if (!fallback) fallback = std::string(token);
        return false;
    });
    return found ? found : fallback;
}

Token scan_pypirc(std::string_view text) {
    Token found;
    scan_lines(text, [&](std::string_view section, std::string_view line) {
        if (section != "pypi") return false;
        auto value = assigned_value(line, "password");
        if (!value || value->empty()) return false;
        found = std::string(*value);
        return true;
    });
    return found;
}

std::optional<FoundToken> cargo_token() {
    for (const char* name : kCargoTokenVariables) {
        if (auto token = env_token(name)) return token;
    }
    std::string dir;
    if (auto cargo_home = env_text("CARGO_HOME")) {
        dir = *cargo_home;
    } else {
        dir = env_text("HOME").value_or("") + "/.cargo";
    }
    // An empty CARGO_HOME means the current directory.
    const std::string prefix = dir.empty() ? std::string() : dir + "/";
    // The first file that can be read decides, whether it holds a token or not.
    for (const char* name : {"credentials.toml", "credentials"}) {
        const std::string path = prefix + name;
        if (auto text = read_utf8_file(path)) return from_file(scan_cargo_credentials(*text), path);
    }
    return std::nullopt;
}

Result<std::optional<FoundToken>> pypi_token(bool from_stdin) {
    using Found = std::optional<FoundToken>;
    if (from_stdin) {
        TARNWICK_TRY_ASSIGN(auto input, read_stdin_utf8());
        auto trimmed = trim(input);
        if (trimmed.empty()) return Found{};
        return Found{FoundToken{std::string(trimmed), "standard input"}};
    }
    for (const char* name : kPypiTokenVariables) {
        if (auto token = env_token(name)) return token;
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr) return Found{};
    const std::string path = std::string(home) + "/.pypirc";
    auto text = read_utf8_file(path);
    if (!text) return Found{};
    return from_file(scan_pypirc(*text), path);
}

}  // namespace tarnwick
