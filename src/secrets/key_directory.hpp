// The private directory that holds the deploy key pair and the upload file while they exist:
// a TemporaryDirectory named tarnwick-key-XXXXXX, whose files are overwritten before they are
// removed, on every way out, termination signals included.
#pragma once

#include <memory>
#include <string>

#include "core/result.hpp"
#include "core/temporary_directory.hpp"

namespace tarnwick {

// While it exists, SIGINT, SIGTERM, SIGHUP and SIGQUIT (unless ignored when it was made) are
// caught (TerminationSignalCatch): the running child is stopped, the run fails with EINTR, the
// directory goes with everything in it as the run unwinds, and the entry point then ends the
// program with the same signal.
class KeyDirectory {
public:
    // A failure to make the directory is an io error with the OS error text.
    static Result<std::unique_ptr<KeyDirectory>> create();
    KeyDirectory(const KeyDirectory&) = delete;
    KeyDirectory& operator=(const KeyDirectory&) = delete;

    // All paths are raw bytes, passed to children unchanged.
    const std::string& path() const { return dir_->path(); }
    const std::string& private_key_path() const { return private_key_; }
    const std::string& public_key_path() const { return public_key_; }
    const std::string& upload_path() const { return upload_; }

private:
    explicit KeyDirectory(std::unique_ptr<TemporaryDirectory> dir);
    std::unique_ptr<TemporaryDirectory> dir_;
    std::string private_key_, public_key_, upload_;
};

}  // namespace tarnwick
