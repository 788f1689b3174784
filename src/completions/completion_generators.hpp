// One generator per shell, each turning the completion model into a complete script that
// registers completions for the model root's name. Scripts end in one line feed.
#pragma once

#include <string>

#include "completions/completion_model.hpp"

namespace tarnwick {

std::string bash_completion(const CompletionCommand& root);
std::string elvish_completion(const CompletionCommand& root);
std::string fish_completion(const CompletionCommand& root);
std::string powershell_completion(const CompletionCommand& root);
std::string zsh_completion(const CompletionCommand& root);

}  // namespace tarnwick
