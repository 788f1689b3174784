// The deploy-key list parser: never crashes, every error names a position, and every list
// it accepts survives a round trip through JSON unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/json.hpp"
#include "secrets/deploy_key_list.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    auto parsed = tarnwick::parse_deploy_key_list(text);
    if (!parsed.ok()) {
        const std::string& d = parsed.error().description;
        if (d.find(" at line ") == std::string::npos || d.find(" column ") == std::string::npos)
            std::abort();
        return 0;
    }
    tarnwick::Json again = tarnwick::Json::array();
    for (const auto& key : parsed.value()) {
        again.push_back({{"id", key.id}, {"title", key.title}});
    }
    auto round = tarnwick::parse_deploy_key_list(tarnwick::dump_compact(again));
    if (!round.ok() || round.value().size() != parsed.value().size()) std::abort();
    for (std::size_t i = 0; i < round.value().size(); ++i) {
        if (round.value()[i].id != parsed.value()[i].id) std::abort();
        // Titles with invalid UTF-8 are replaced on the way out; the rest must match.
        if (tarnwick::dump_compact(tarnwick::Json(parsed.value()[i].title)).find("\\ufffd") ==
                std::string::npos &&
            round.value()[i].title != parsed.value()[i].title)
            std::abort();
    }
    return 0;
}
