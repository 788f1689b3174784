// A private working directory for one update: the new render, its index and, in a dry run,
// the objects that must not reach the repository. Made by mkdtemp under $TMPDIR (or /tmp),
// removed with its contents when the update ends.
#pragma once

#include <memory>
#include <string>

#include "core/result.hpp"

namespace tarnwick {

class ScratchDir {
public:
    // A failure to make the directory is an io error with the OS error text.
    static Result<std::unique_ptr<ScratchDir>> create();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& rel) const { return path_ + "/" + rel; }

private:
    explicit ScratchDir(std::string path) : path_(std::move(path)) {}
    std::string path_;
};

}  // namespace tarnwick
