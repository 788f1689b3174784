// The record of `update`: its arguments as the command line gives them.
#pragma once

#include <optional>
#include <string>

#include "answers/answers.hpp"

namespace tarnwick {

// The arguments of `update`, as the command line gives them: the answers it changes and its own.
struct Update : GivenAnswers {
    std::string path = ".";  // any bytes
    bool dry_run = false;
    bool no_commit = false;
    std::optional<std::string> from;  // the identity of the set the project was made from
};

}  // namespace tarnwick
