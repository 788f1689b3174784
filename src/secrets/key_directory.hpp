// The private directory that holds the deploy key pair and the upload file while they exist:
// made fresh by mkdtemp (mode 0700) under $TMPDIR, or /tmp when TMPDIR is unset or empty,
// and removed with its contents on every way out, termination signals included.
#pragma once

#include <memory>
#include <string>

#include "core/result.hpp"
#include "core/termination_signals.hpp"

namespace tarnwick {

// The directory under which key directories are made: $TMPDIR as raw bytes when set and not
// empty, else /tmp.
std::string temp_dir();

// At most one exists at a time. While it does, SIGINT, SIGTERM, SIGHUP and SIGQUIT (unless
// ignored when it was made) are caught (TerminationSignalCatch): the running child is stopped,
// the run fails with EINTR, the directory goes with everything in it as the run unwinds, and
// the entry point then ends the program with the same signal.
class KeyDirectory {
public:
    // A failure to make the directory is an io error with the OS error text.
    static Result<std::unique_ptr<KeyDirectory>> create();
    ~KeyDirectory();
    KeyDirectory(const KeyDirectory&) = delete;
    KeyDirectory& operator=(const KeyDirectory&) = delete;

    // All paths are raw bytes, passed to children unchanged.
    const std::string& path() const { return path_; }
    const std::string& private_key_path() const { return private_key_; }
    const std::string& public_key_path() const { return public_key_; }
    const std::string& upload_path() const { return upload_; }

private:
    KeyDirectory(std::unique_ptr<TerminationSignalCatch> catching, std::string path);
    std::unique_ptr<TerminationSignalCatch> catching_;  // first made, last gone
    std::string path_, private_key_, public_key_, upload_;
};

}  // namespace tarnwick
