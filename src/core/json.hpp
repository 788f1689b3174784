// JSON aliases: Json keeps object keys in byte order, OrderedJson in insertion order.
// Serialisation replaces invalid UTF-8 instead of throwing, so it never fails.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <type_traits>

namespace tarnwick {

using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

// The bytes of value.dump(indent, ' ', false, replace) (indent -1: compact), written with
// strings copied in runs rather than decoded one byte at a time.
std::string write_json(const Json& value, int indent);

template <class J>
std::string dump_compact(const J& value) {
    if constexpr (std::is_same_v<J, Json>) {
        return write_json(value, -1);
    } else {
        return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    }
}

template <class J>
std::string dump_pretty(const J& value) {
    if constexpr (std::is_same_v<J, Json>) {
        return write_json(value, 2);
    } else {
        return value.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
    }
}

}  // namespace tarnwick
