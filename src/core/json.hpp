// JSON aliases: Json keeps object keys in byte order, OrderedJson in insertion order.
// Serialisation replaces invalid UTF-8 instead of throwing, so it never fails.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace tarnwick {

using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

template <class J>
std::string dump_compact(const J& value) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

template <class J>
std::string dump_pretty(const J& value) {
    return value.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace tarnwick
