// A Debian or Ubuntu gh is years behind what `secrets` needs, and Homebrew is not what such a
// system upgrades with; the GitHub CLI publishes its own apt repository, whose setup is several
// steps, so that fix is prose pointing at them.
#include "doctor/gh_install.hpp"

#include <filesystem>
#include <string_view>

#include "core/text.hpp"
#include "doctor/project_files.hpp"
#include "process/program_path.hpp"

namespace tarnwick {
namespace {

constexpr std::string_view kAptPage = "https://github.com/cli/cli/blob/trunk/docs/install_linux.md";
constexpr std::string_view kInstallPage = "https://github.com/cli/cli#installation";

bool in_homebrew(const std::string& path) {
    return path.find("/Cellar/gh/") != std::string::npos ||
           path.starts_with("/home/linuxbrew/.linuxbrew/");
}

bool dpkg_lists(const std::string& list, const std::optional<std::string>& path) {
    if (!path) return false;
    for (const std::string_view line : lines(list)) {
        if (line == *path) return true;
    }
    return false;
}

}  // namespace

GhSource gh_source(const GhPlace& place) {
    if (place.macos) return GhSource::Homebrew;
    if (!place.found) return place.dpkg_system ? GhSource::Apt : GhSource::Other;
    if (in_homebrew(*place.found) || (place.resolved && in_homebrew(*place.resolved))) {
        return GhSource::Homebrew;
    }
    if (place.dpkg_list && (dpkg_lists(*place.dpkg_list, place.found) ||
                            dpkg_lists(*place.dpkg_list, place.resolved))) {
        return GhSource::Apt;
    }
    return GhSource::Other;
}

std::string gh_fix(GhSource source, bool upgrade) {
    switch (source) {
        case GhSource::Homebrew:
            return upgrade ? "brew upgrade gh" : "brew install gh";
        case GhSource::Apt:
            return std::string(upgrade ? "upgrade" : "install") +
                   " gh from the GitHub CLI's own apt repository, set up as " +
                   std::string(kAptPage) + " describes (" +
                   (upgrade ? "the distribution's gh stays behind"
                            : "a distribution's own gh may be too old") +
                   ")";
        case GhSource::Other:
            break;
    }
    return std::string(upgrade ? "upgrade" : "install") + " gh as " + std::string(kInstallPage) +
           " describes";
}

GhPlace this_gh_place() {
    GhPlace place;
#if defined(__APPLE__)
    place.macos = true;
#endif
    place.found = find_program("gh");
    if (place.found) {
        std::error_code ec;
        const auto resolved = std::filesystem::canonical(*place.found, ec);
        if (!ec) place.resolved = resolved.string();
    }
    std::error_code ec;
    place.dpkg_system = std::filesystem::exists("/var/lib/dpkg/status", ec);
    if (auto list = read_regular_file("/var/lib/dpkg/info/gh.list", 1 << 20)) {
        place.dpkg_list = std::move(list).value();
    }
    return place;
}

}  // namespace tarnwick
