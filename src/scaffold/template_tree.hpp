// The template tree embedded at build time from templates/: directories and files in byte
// order of their names. template_root() is the only way in; nothing reads templates from disk.
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

const TemplateDir& template_root();

}  // namespace tarnwick
