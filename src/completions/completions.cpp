// Picks the generator for the requested shell and feeds it the model of the command tree.
#include "completions/completions.hpp"

#include "completions/completion_generators.hpp"
#include "completions/completion_model.hpp"

namespace tarnwick {

std::string completion_script(Shell shell) {
    const CompletionCommand model = completion_model();
    switch (shell) {
        case Shell::Bash:
            return bash_completion(model);
        case Shell::Elvish:
            return elvish_completion(model);
        case Shell::Fish:
            return fish_completion(model);
        case Shell::Powershell:
            return powershell_completion(model);
        case Shell::Zsh:
            return zsh_completion(model);
    }
    return bash_completion(model);
}

}  // namespace tarnwick
