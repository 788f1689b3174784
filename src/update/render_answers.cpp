#include "update/render_answers.hpp"

#include <optional>
#include <string>

#include "answers/crate_name.hpp"
#include "core/github_names.hpp"
#include "core/text.hpp"

namespace tarnwick {
namespace {

// A line without the carriage return of a CRLF ending.
std::string_view without_cr(std::string_view line) {
    if (line.ends_with('\r')) line.remove_suffix(1);
    return line;
}

// The text between prefix and suffix of the first line of [package] that has both.
std::optional<std::string> package_value(std::string_view cargo_toml, std::string_view prefix,
                                         std::string_view suffix) {
    bool in_package = false;
    for (std::string_view raw : lines(cargo_toml)) {
        const std::string_view line = without_cr(raw);
        if (line.starts_with('[')) {
            in_package = line == "[package]";
            continue;
        }
        if (in_package && line.starts_with(prefix) &&
            line.size() >= prefix.size() + suffix.size() && line.ends_with(suffix)) {
            return std::string(
                line.substr(prefix.size(), line.size() - prefix.size() - suffix.size()));
        }
    }
    return std::nullopt;
}

CliError unreadable(std::string_view file, std::string_view what) {
    return CliError::git("cannot read the project's answers from its tarnwick render: " +
                         std::string(file) + " has no " + std::string(what));
}

}  // namespace

Result<Answers> answers_from_render(std::string_view cargo_toml, std::string_view license,
                                    bool pypi) {
    auto name = package_value(cargo_toml, "name = \"", "\"");
    if (!name) return unreadable("Cargo.toml", "`name = \"…\"` under [package]");
    TARNWICK_TRY(validate_crate_name(*name));
    auto description = package_value(cargo_toml, "description = \"", "\"");
    if (!description) return unreadable("Cargo.toml", "`description = \"…\"` under [package]");
    auto author = package_value(cargo_toml, "authors = [\"", "\"]");
    if (!author) return unreadable("Cargo.toml", "`authors = [\"…\"]` under [package]");
    // The repository URL is the only place the owner appears on its own.
    const std::string host = "https://github.com/";
    auto repository = package_value(cargo_toml, "repository = \"" + host, "/" + *name + "\"");
    if (!repository || repository->empty()) {
        return unreadable("Cargo.toml", "`repository = \"" + host + "OWNER/" + *name + "\"`");
    }

    std::optional<std::string> year;
    constexpr std::string_view kCopyright = "Copyright (c) ";
    for (std::string_view raw : lines(license)) {
        std::string_view line = without_cr(raw);
        if (!line.starts_with(kCopyright)) continue;
        line.remove_prefix(kCopyright.size());
        const auto digits = line.find_first_not_of("0123456789");
        if (digits == 0 || digits == std::string_view::npos || line[digits] != ' ') break;
        year = std::string(line.substr(0, digits));
        break;
    }
    if (!year) return unreadable("LICENSE", "`Copyright (c) YEAR AUTHOR` line");

    // The PyPI switch is the render's own, the tap its owner's, the licence the one every set
    // before records wrote.
    Answers answers = new_answers(*name, *year);
    answers.description = std::move(*description);
    answers.owner = std::move(*repository);
    answers.author = std::move(*author);
    answers.pypi = pypi;
    answers.tap = default_tap(answers.owner);
    return answers;
}

}  // namespace tarnwick
