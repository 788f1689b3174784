// The readers of `gh --version` and `git --version`: a version they read comes from a first line
// with the tool's prefix, is written back by to_string as a version the same reader gives again,
// and orders the same way after that round trip.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_check.hpp"
#include "process/gh_version.hpp"
#include "process/git_version.hpp"

using fuzz_check::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view out(reinterpret_cast<const char*>(data), size);
    const std::string_view first_line = out.substr(0, out.find('\n'));

    if (const auto gh = tarnwick::parse_gh_version(out)) {
        require(first_line.starts_with("gh version "));
        require(gh->major >= 0 && gh->minor >= 0 && gh->patch >= 0);
        const auto again = tarnwick::parse_gh_version("gh version " + tarnwick::to_string(*gh));
        require(again && *again == *gh);
        require(tarnwick::parse_version(tarnwick::to_string(*gh)) == gh);
    }
    if (const auto git = tarnwick::parse_git_version(out)) {
        require(first_line.starts_with("git version "));
        require(git->major >= 0 && git->minor >= 0 && git->patch >= 0);
        const auto again = tarnwick::parse_git_version("git version " + tarnwick::to_string(*git) +
                                                       " (Apple Git-145)\n");
        require(again && *again == *git);
    }
    if (const auto plain = tarnwick::parse_version(out)) {
        require(!(*plain < tarnwick::GhVersion{}) &&
                tarnwick::parse_version(tarnwick::to_string(*plain)) == plain);
    }
    return 0;
}
