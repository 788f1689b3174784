// Read from the embedded template tree only; `update` itself may also keep a line the user
// changed since the first render (its three-way merge keeps theirs), which this does not see.
#include "doctor/update_preview.hpp"

#include <string>

#include "scaffold/template_tree.hpp"

namespace tarnwick {
namespace {

const TemplateFile* find_template(const TemplateDir& dir, std::string_view path) {
    for (const TemplateEntry& entry : dir.entries) {
        if (entry.file != nullptr && entry.file->path == path) return entry.file;
        if (entry.dir != nullptr && path.starts_with(entry.dir->path) &&
            path.size() > entry.dir->path.size() && path[entry.dir->path.size()] == '/') {
            return find_template(*entry.dir, path);
        }
    }
    return nullptr;
}

}  // namespace

bool update_would_change(std::string_view /*project_dir*/, std::string_view relative_path,
                         std::string_view stale) {
    if (stale.empty()) return false;
    const TemplateFile* file = find_template(template_root(), std::string(relative_path) + ".tmpl");
    return file != nullptr && file->contents.find(stale) == std::string_view::npos;
}

}  // namespace tarnwick
