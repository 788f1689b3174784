// doctor's reading of one string of a TOML text (`key = "value"` in `[section]`): a value it
// finds is one line of the text, stands in it between the quotes it was written with, and is
// the first such line of the section; what it gives back does not depend on lines after it.
// The input is a section name, a NUL, a key, a NUL, then the text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "doctor/project_files.hpp"
#include "fuzz_check.hpp"

using fuzz_check::in;
using fuzz_check::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string_view section = "package";
    std::string_view key = "name";
    std::string_view text = input;
    if (const auto first = input.find('\0'); first != std::string_view::npos) {
        const auto second = input.find('\0', first + 1);
        if (second != std::string_view::npos) {
            section = input.substr(0, first);
            key = input.substr(first + 1, second - first - 1);
            text = input.substr(second + 1);
        }
    }
    const auto value = tarnwick::toml_string(text, section, key);
    if (!value) return 0;
    require(value->find('\n') == std::string::npos);
    require(in(text, "\"" + *value + "\"") || in(text, "'" + *value + "'"));
    // The same text with more lines after it gives the same answer.
    const std::string longer = std::string(text) + "\n" + std::string(key) + " = \"later\"\n";
    const auto again = tarnwick::toml_string(longer, section, key);
    require(again && *again == *value);
    return 0;
}
