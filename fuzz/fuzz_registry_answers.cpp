// doctor's reading of the registries' answers (crates.io's sparse index and API, PyPI's JSON
// API), with every curl run answered by the input instead of the network: what curl writes on
// stderr (its complaint, then the status code on a line of its own), a NUL, then the body. The
// lookup never fails: it gives one of its states with a detail of bounded length, and a name
// is this project's only when a repository was given, which the detail then names.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "doctor/registry_names.hpp"
#include "fuzz_check.hpp"
#include "process/child_hook.hpp"

using fuzz_check::in;
using fuzz_check::require;

namespace {

constexpr std::string_view kRepository = "https://github.com/kestrow/demo";

void check(const tarnwick::NameLookup& lookup) {
    require(!lookup.detail.empty() && lookup.detail.size() < 1024);
    if (lookup.state == tarnwick::NameState::Ours)
        require(in(lookup.detail, std::string(kRepository)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto nul = input.find('\0');
    const std::string stderr_text(input.substr(0, nul));
    const std::string body(nul == std::string_view::npos ? std::string_view()
                                                         : input.substr(nul + 1));
    tarnwick::set_child_hook([&](const tarnwick::ChildCall& call)
                                 -> tarnwick::Result<tarnwick::ChildOutput, tarnwick::OsError> {
        require(call.program == "curl");
        tarnwick::ChildOutput out;
        out.stdout_text = body;
        out.stderr_text = stderr_text;
        out.success = true;
        out.exit_code = 0;
        return out;
    });
    const std::optional<std::string> repository{std::string(kRepository)};
    check(tarnwick::look_up_crate("demo-cli", repository));
    check(tarnwick::look_up_pypi("demo-cli", repository));
    for (const auto& anyone :
         {tarnwick::look_up_crate("x", std::nullopt), tarnwick::look_up_pypi("x", std::nullopt)}) {
        check(anyone);
        require(anyone.state != tarnwick::NameState::Ours);
    }
    tarnwick::set_child_hook({});
    return 0;
}
