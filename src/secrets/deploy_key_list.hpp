// The typed reading of the tap's deploy-key list as gh prints it with --json id,title.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/result.hpp"

namespace tarnwick {

struct DeployKey {
    std::int64_t id = 0;  // positive
    std::string title;
    std::string key;  // the public key ("ssh-ed25519 AAAA..."), when the listing asked for it
};

// A fault in the listing; description ends with " at line L column C".
struct ListParseError {
    std::string description;
};

// Parses a JSON array of {"id": <i64 above 0>, "title": <string>} objects with an optional
// "key": <string> (other members are skipped).
// Output that is empty or only white space is an empty list: gh prints nothing at all when the
// repository has no deploy keys. A missing or repeated member, a wrong type, an id outside
// signed 64 bits or text after the array is an error naming its line and column.
Result<std::vector<DeployKey>, ListParseError> parse_deploy_key_list(std::string_view text);

}  // namespace tarnwick
