// A private working directory for one update: the new render, its index and, in a dry run,
// the objects that must not reach the repository. A TemporaryDirectory named
// tarnwick-update-XXXXXX, removed with its contents however the update ends.
#pragma once

#include <memory>
#include <string>

#include "core/result.hpp"
#include "core/temporary_directory.hpp"

namespace tarnwick {

class ScratchDir {
public:
    // A failure to make the directory is an io error with the OS error text.
    static Result<std::unique_ptr<ScratchDir>> create();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return dir_->path(); }
    std::string operator/(const std::string& rel) const { return *dir_ / rel; }

private:
    explicit ScratchDir(std::unique_ptr<TemporaryDirectory> dir) : dir_(std::move(dir)) {}
    std::unique_ptr<TemporaryDirectory> dir_;
};

}  // namespace tarnwick
