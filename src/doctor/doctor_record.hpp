// The record of `doctor`: its arguments as the command line gives them.
#pragma once

#include <optional>
#include <string>

#include "core/product.hpp"

namespace tarnwick {

// The arguments of `doctor`, as the command line gives them.
struct Doctor {
    std::optional<std::string> repo;  // owner/name or a bare name; absent: no repository items
    std::string owner = std::string(kDefaultOwner);
    std::optional<std::string> tap;
    std::string project = ".";  // an existing directory; its .github/workflows are judged
    bool strict = false;        // exit kDoctorStrictExit when a problem is found
};

}  // namespace tarnwick
