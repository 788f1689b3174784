// The reader of a render's answers from its Cargo.toml and LICENSE (the input is Cargo.toml, a
// NUL, then LICENSE; the first byte's low bit is the PyPI switch): whatever it accepts is a
// valid crate name and values that stand in the files as given.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "answers/crate_name.hpp"
#include "fuzz_check.hpp"
#include "update/render_answers.hpp"

using fuzz_check::in;
using fuzz_check::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const bool pypi = size > 0 && (data[0] & 1u) != 0;
    const auto nul = input.find('\0');
    const std::string_view cargo_toml = input.substr(0, nul);
    const std::string_view license =
        nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1);

    const auto answers = tarnwick::answers_from_render(cargo_toml, license, pypi);
    if (!answers) return 0;
    require(tarnwick::validate_crate_name(answers->name).ok());
    require(in(cargo_toml, "name = \"" + answers->name + "\""));
    require(in(cargo_toml, "description = \"" + answers->description + "\""));
    require(in(cargo_toml, "authors = [\"" + answers->author + "\"]"));
    require(!answers->owner.empty() &&
            in(cargo_toml, "https://github.com/" + answers->owner + "/" + answers->name));
    require(!answers->year.empty() &&
            answers->year.find_first_not_of("0123456789") == std::string::npos &&
            in(license, "Copyright (c) " + answers->year + " "));
    require(answers->pypi == pypi);
    return 0;
}
