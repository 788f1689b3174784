// The record of `check`: its arguments as the command line gives them.
#pragma once

#include <string>

namespace tarnwick {

// The arguments of `check`, as the command line gives them.
struct Check {
    std::string name;
    std::string into;  // any bytes
};

}  // namespace tarnwick
