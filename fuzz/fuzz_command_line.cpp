// The command line: any argument vector parses to records or to a failure whose report is
// non-empty and trimmed; records only ever carry the declared possible values.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/command_line.hpp"
#include "core/text.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Arguments are separated by NUL bytes, as they are in the kernel's argv.
    std::vector<std::string> args = {"tarnwick"};
    std::string current;
    for (std::size_t i = 0; i < size && args.size() < 64; ++i) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current += static_cast<char>(data[i]);
        }
    }
    if (!current.empty()) args.push_back(current);
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());

    auto parsed = tarnwick::parse_command_line(static_cast<int>(argv.size()), argv.data());
    if (!parsed.ok()) {
        const std::string& text = parsed.error().text;
        if (text.empty()) std::abort();
        if (parsed.error().kind == tarnwick::ParseFailureKind::Error &&
            tarnwick::trim(text).size() != text.size())
            std::abort();
        return 0;
    }
    const tarnwick::Cli& cli = parsed.value();
    if (cli.command) {
        if (const auto* n = std::get_if<tarnwick::New>(&*cli.command)) {
            if (!tarnwick::is_valid_utf8(n->name) ||
                (n->owner && !tarnwick::is_valid_utf8(*n->owner)))
                std::abort();
        }
    }
    return 0;
}
