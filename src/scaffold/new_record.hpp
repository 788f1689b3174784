// The record of `new`: its arguments as the command line gives them.
#pragma once

#include <string>

#include "answers/answers.hpp"

namespace tarnwick {

// The arguments of `new`, as the command line gives them: the answers it takes (owner,
// description, author, licence, --no-pypi) and its own.
struct New : GivenAnswers {
    std::string name;
    std::string into;  // any bytes
    bool no_git = false;
    bool github = false;
};

}  // namespace tarnwick
