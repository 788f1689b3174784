#include "update/rust_format.hpp"

#include <fcntl.h>

#include <algorithm>

#include "core/io.hpp"
#include "core/text.hpp"
#include "process/runner.hpp"
#include "update/renders.hpp"

namespace tarnwick {

Result<Formatting> pinned_formatting(const std::string& dir) {
    Formatting formatting{resolve_cargo_toolchain(std::string(kNeutralDir)), dir + "/rustfmt.toml"};
    auto config = open_fd(formatting.config_file, O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (!config) return CliError::io(formatting.config_file + ": " + config.error().text());
    return formatting;
}

std::optional<std::string> manifest_edition(std::string_view cargo_toml) {
    bool in_package = false;
    for (std::string_view line : lines(cargo_toml)) {
        line = trim(line);
        if (line.starts_with('[')) {
            in_package = line == "[package]";
            continue;
        }
        if (!in_package || !line.starts_with("edition")) continue;
        line = trim(line.substr(7));
        if (!line.starts_with('=')) continue;
        line = trim(line.substr(1));
        if (line.size() != 6 || line.front() != '"' || line.back() != '"') return std::nullopt;
        const std::string_view year = line.substr(1, 4);
        if (!std::all_of(year.begin(), year.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            return std::nullopt;
        }
        return std::string(year);
    }
    return std::nullopt;
}

Status format_rust_files(const std::string& dir, const std::vector<std::string>& files,
                         const Formatting& formatting) {
    if (!formatting.toolchain.usable) return Ok{};
    TARNWICK_TRY_ASSIGN(auto manifest, read_optional_file(dir + "/Cargo.toml"));
    std::vector<std::string> args = {"--config-path", formatting.config_file};
    // cargo fmt passes the package's edition; without one, cargo's default is rustfmt's.
    if (const auto edition = manifest_edition(manifest.value_or(""))) {
        args.insert(args.end(), {"--edition", *edition});
    }
    for (const std::string& file : files) {
        if (!file.ends_with(".rs")) continue;
        const std::string path = dir + "/" + file;
        TARNWICK_TRY_ASSIGN(auto text, read_optional_file(path));
        if (!text) continue;
        auto run = run_child({.program = "rustfmt",
                              .args = args,
                              .input = *text,
                              .dir = std::string(kNeutralDir),
                              .extra_env = formatting.toolchain.env});
        if (!run) return Ok{};  // no rustfmt: nothing is formatted
        if (!run->success || !run->stdout_was_utf8 || run->stdout_text == *text) continue;
        auto fd = open_fd(path, O_WRONLY | O_TRUNC | O_NOFOLLOW);
        if (!fd) return CliError::io(path + ": " + fd.error().text());
        auto written = write_all(fd->get(), run->stdout_text);
        if (!written) return CliError::io(path + ": " + written.error().text());
    }
    return Ok{};
}

}  // namespace tarnwick
