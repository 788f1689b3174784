// What `check` found: the name, its destination and whether that destination is free.
#pragma once

#include <string>

namespace tarnwick {

struct CheckReport {
    std::string name;
    std::string destination;  // display form (valid UTF-8)
    bool available = false;
};

}  // namespace tarnwick
