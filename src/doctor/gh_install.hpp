// How gh came onto this machine, as far as doctor can tell without starting anything, and the
// fix that installs or upgrades it the same way. A fix is a command only where one command
// does it (Homebrew); elsewhere it says in words where a current gh comes from.
#pragma once

#include <optional>
#include <string>

namespace tarnwick {

enum class GhSource {
    Homebrew,  // macOS, or a gh inside a Homebrew prefix on Linux
    Apt,       // a gh that dpkg installed, or none on a system whose packages dpkg keeps
    Other,
};

// What doctor looks at: the system, the gh that PATH finds (as found and with its links
// resolved) and the file list of dpkg's gh package, when there is one.
struct GhPlace {
    bool macos = false;
    std::optional<std::string> found;
    std::optional<std::string> resolved;
    bool dpkg_system = false;              // /var/lib/dpkg/status exists
    std::optional<std::string> dpkg_list;  // /var/lib/dpkg/info/gh.list
};

GhSource gh_source(const GhPlace& place);

// upgrade: gh is there but too old; otherwise it is to be installed.
std::string gh_fix(GhSource source, bool upgrade);

// This machine's GhPlace: a PATH lookup and two file reads.
GhPlace this_gh_place();

}  // namespace tarnwick
