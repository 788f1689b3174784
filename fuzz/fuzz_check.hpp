// What the fuzz targets that check properties of a reader's result share: a failed property
// aborts, so libFuzzer keeps the input that broke it.
#pragma once

#include <cstdlib>
#include <string>
#include <string_view>

namespace fuzz_check {

inline void require(bool holds) {
    if (!holds) std::abort();
}

inline bool in(std::string_view text, const std::string& piece) {
    return text.find(piece) != std::string_view::npos;
}

}  // namespace fuzz_check
