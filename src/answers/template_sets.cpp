#include "answers/template_tree.hpp"

namespace tarnwick {

const TemplateSet* find_template_set(std::string_view identity) {
    for (const TemplateSet& set : template_sets()) {
        if (set.identity == identity) return &set;
    }
    return nullptr;
}

const TemplateDir& template_root() {
    return *template_sets().front().root;
}

}  // namespace tarnwick
