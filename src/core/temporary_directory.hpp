// A private directory for the files of one run (a deploy key pair, an update's render and
// objects): made fresh by mkdtemp (mode 0700) and removed with everything in it on every way
// out, termination signals included.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "core/result.hpp"
#include "core/termination_signals.hpp"

namespace tarnwick {

// The directory temporary directories are made under: $TMPDIR as raw bytes when it is an
// absolute path, else /tmp (an unset, empty or relative TMPDIR would put secrets wherever the
// program happens to run, and name another place for a child in another directory).
std::string temporary_base();

// Whether the regular files inside are overwritten with zeros before they are unlinked: for
// keys, so their bytes do not stay in freed blocks where the file system reuses them in place.
enum class Shred { No, Yes };

// While one exists the termination signals are caught (TerminationSignalCatch, or the one
// already in place): the runner stops the running child and fails with EINTR, the directory
// goes as the run unwinds, never inside a signal handler, and the entry point then ends the
// program with the same signal.
class TemporaryDirectory {
public:
    // Makes temporary_base()/<prefix>XXXXXX. A failure is an io error with the OS error text.
    static Result<std::unique_ptr<TemporaryDirectory>> create(std::string_view prefix,
                                                              Shred shred = Shred::No);
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    // Raw bytes, passed to children unchanged.
    const std::string& path() const { return path_; }
    std::string operator/(std::string_view name) const;

private:
    TemporaryDirectory(std::unique_ptr<TerminationSignalCatch> catching, std::string path,
                       Shred shred);
    std::unique_ptr<TerminationSignalCatch> catching_;  // first made, last gone
    std::string path_;
    Shred shred_;
};

}  // namespace tarnwick
