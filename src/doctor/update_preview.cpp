#include "doctor/update_preview.hpp"

#include <optional>
#include <string>

#include "answers/project_record.hpp"
#include "answers/template_tree.hpp"
#include "core/product.hpp"
#include "doctor/project_files.hpp"

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

bool writes(const TemplateSet& set, std::string_view path, std::string_view text) {
    const TemplateFile* file = find_template(*set.root, path);
    return file != nullptr && file->contents.find(text) != std::string_view::npos;
}

struct Recorded {
    bool present = false;
    std::optional<ProjectRecord> record;  // absent when present but unreadable
    std::string problem;
};

Recorded read_record(std::string_view project_dir) {
    Recorded r;
    auto text = read_regular_file(std::string(project_dir) + "/" + std::string(kRecordFile),
                                  kMaxRecordBytes);
    if (!text) {
        if (text.error().code == ENOENT) return r;
        r.present = true;
        r.problem = "cannot be read: " + text.error().text();
        return r;
    }
    r.present = true;
    auto record = parse_project_record(*text);
    if (!record) {
        r.problem = record.error().message();
        return r;
    }
    auto checked = check_answers(record->answers, "in " + std::string(kRecordFile));
    if (!checked) {
        r.problem = checked.error().message();
        return r;
    }
    r.record = std::move(record).value();
    return r;
}

}  // namespace

bool update_would_change(std::string_view project_dir, std::string_view relative_path,
                         std::string_view stale) {
    if (stale.empty()) return false;
    const std::string path = std::string(relative_path) + ".tmpl";
    const auto sets = template_sets();
    if (writes(sets.front(), path, stale)) return false;
    const Recorded recorded = read_record(project_dir);
    if (recorded.present) {
        if (!recorded.record) return false;
        const TemplateSet* set = find_template_set(recorded.record->template_set);
        return set != nullptr && set != &sets.front() && writes(*set, path, stale);
    }
    for (const TemplateSet& set : sets.subspan(1)) {
        if (writes(set, path, stale)) return true;
    }
    return false;
}

DoctorItem update_item(std::string_view project_dir, const std::string& update) {
    const Recorded recorded = read_record(project_dir);
    const std::string record(kRecordFile);
    if (!recorded.present) {
        return {"", DoctorStatus::Unknown,
                "no " + record +
                    ": a project made before tarnwick 0.2.0, which `tarnwick update` adopts when "
                    "its first commit is what a released tarnwick rendered",
                update + " --dry-run"};
    }
    if (!recorded.record) {
        return {"", DoctorStatus::Unusable, record + " " + recorded.problem,
                "git checkout -- " + record + "  # restore it as tarnwick wrote it"};
    }
    const std::string& set = recorded.record->template_set;
    if (find_template_set(set) == nullptr) {
        return {"", DoctorStatus::TooNew,
                "made by tarnwick " + set + ", which this tarnwick " + std::string(kVersion) +
                    " does not know",
                "upgrade tarnwick: make install from a newer checkout"};
    }
    if (set == kVersion) {
        return {"", DoctorStatus::Ok, "made from the template set of this tarnwick, " + set,
                std::nullopt};
    }
    return {"", DoctorStatus::Ok,
            "made from the template set of tarnwick " + set + "; `tarnwick update` brings it to " +
                std::string(kVersion),
            std::nullopt};
}

}  // namespace tarnwick
