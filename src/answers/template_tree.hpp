// The template trees embedded at build time: the set this tarnwick writes (templates/) and every
// set an earlier released tarnwick wrote (template-sets/), each with directories and files in
// byte order of their names. Nothing reads templates from disk.
#pragma once

#include <span>
#include <string_view>

namespace tarnwick {

struct TemplateDir;
struct TemplateFile;

// One directory entry: exactly one of the two pointers is set.
struct TemplateEntry {
    constexpr TemplateEntry(const TemplateDir* d) : dir(d) {}
    constexpr TemplateEntry(const TemplateFile* f) : file(f) {}
    const TemplateDir* dir = nullptr;
    const TemplateFile* file = nullptr;
};

struct TemplateFile {
    std::string_view path;      // full stored path with ".tmpl", e.g. "src/main.rs.tmpl"
    std::string_view contents;  // bytes exactly as stored
};

struct TemplateDir {
    std::string_view path;  // "" for the root, no trailing "/"
    std::span<const TemplateEntry> entries;
};

// A template set and the identity a project records it by: the tarnwick version that wrote it,
// with build metadata where two builds of one version wrote different sets.
struct TemplateSet {
    std::string_view identity;
    const TemplateDir* root;
};

// The set this tarnwick writes first, then the earlier released sets, newest first.
std::span<const TemplateSet> template_sets();

// The set of that identity, or null.
const TemplateSet* find_template_set(std::string_view identity);

// The set this tarnwick writes.
const TemplateDir& template_root();

}  // namespace tarnwick
