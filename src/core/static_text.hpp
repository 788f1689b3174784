// Text joined at compile time from constant pieces and numbers, for declarations that are
// constant expressions (the contract's descriptions) yet must say what a table or a constant
// of the program holds, so that the two cannot drift apart.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

namespace tarnwick {

// The decimal digits of a non-negative N.
template <long long N>
requires(N >= 0) struct DecimalText {
    static constexpr std::size_t size = [] {
        std::size_t n = 1;
        for (long long v = N; v >= 10; v /= 10) ++n;
        return n;
    }();
    static constexpr std::array<char, size> chars = [] {
        std::array<char, size> out{};
        long long v = N;
        for (std::size_t i = size; i-- > 0; v /= 10) out[i] = static_cast<char>('0' + v % 10);
        return out;
    }();
    static constexpr std::string_view value{chars.data(), size};
};

template <long long N>
inline constexpr std::string_view decimal_text = DecimalText<N>::value;

// The pieces, each a constant string_view of static storage, one after the other.
template <const std::string_view&... Parts>
struct JoinedText {
    static constexpr std::size_t size = (Parts.size() + ... + 0);
    static constexpr std::array<char, size> chars = [] {
        std::array<char, size> out{};
        std::size_t at = 0;
        ((std::copy(Parts.begin(), Parts.end(), out.begin() + at), at += Parts.size()), ...);
        return out;
    }();
    static constexpr std::string_view value{chars.data(), size};
};

template <const std::string_view&... Parts>
inline constexpr std::string_view joined_text = JoinedText<Parts...>::value;

}  // namespace tarnwick
