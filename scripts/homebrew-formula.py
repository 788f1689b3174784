#!/usr/bin/env python3
"""Writes tarnwick's Homebrew formula for a release to standard output: the archive of each
system and CPU with its SHA-256, the binary, the man page and the completion scripts from the
archive's install tree, and a test that runs the installed binary.

Usage: homebrew-formula.py TAG OWNER/REPO ARTIFACTS_DIR
ARTIFACTS_DIR holds the release files (searched below it): tarnwick-TAG-ASSET.tar.gz.sha256 for
the assets aarch64-macos, x86_64-macos, aarch64-linux and x86_64-linux.
"""
import pathlib
import re
import sys

ASSETS = {("macos", "arm"): "aarch64-macos", ("macos", "intel"): "x86_64-macos",
          ("linux", "arm"): "aarch64-linux", ("linux", "intel"): "x86_64-linux"}


def ruby(text):
    return '"' + "".join("\\" + c if c in '\\"#' else c for c in text) + '"'


def formula(tag, repository, sums):
    version = tag[1:] if tag.startswith("v") else tag
    base = f"https://github.com/{repository}/releases/download/{tag}/tarnwick-{tag}-"

    def asset(system, cpu):
        name = ASSETS[(system, cpu)]
        return [f"      url {ruby(base + name + '.tar.gz')}", f"      sha256 {ruby(sums[name])}"]

    lines = [
        "class Tarnwick < Formula",
        f"  desc {ruby('Scaffold agent-facing Rust command-line tools and wire up their release')}",
        f"  homepage {ruby('https://github.com/' + repository)}",
        f"  version {ruby(version)}",
        "",
        "  on_macos do",
        "    if Hardware::CPU.arm?", *asset("macos", "arm"),
        "    else", *asset("macos", "intel"), "    end",
        "  end",
        "",
        "  on_linux do",
        "    if Hardware::CPU.arm?", *asset("linux", "arm"),
        "    else", *asset("linux", "intel"), "    end",
        "  end",
        "",
        '  depends_on "git"',
        "",
        "  def install",
        '    bin.install "bin/tarnwick"',
        '    man1.install Dir["share/man/man1/*.1"]',
        '    bash_completion.install Dir["share/bash-completion/completions/tarnwick"]',
        '    zsh_completion.install Dir["share/zsh/*/_tarnwick"]',
        '    fish_completion.install Dir["share/fish/vendor_completions.d/tarnwick.fish"]',
        "  end",
        "",
        "  test do",
        f'    assert_equal "tarnwick #{{version}}\\n", shell_output("#{{bin}}/tarnwick --version")',
        "  end",
        "end",
    ]
    return "\n".join(lines) + "\n"


def read_sums(artifacts, tag):
    sums = {}
    for asset in ASSETS.values():
        found = list(pathlib.Path(artifacts).rglob(f"tarnwick-{tag}-{asset}.tar.gz.sha256"))
        if len(found) != 1:
            raise SystemExit(f"homebrew-formula: {len(found)} files "
                             f"tarnwick-{tag}-{asset}.tar.gz.sha256 under {artifacts}")
        digest = found[0].read_text().split()[0]
        if not re.fullmatch(r"[0-9a-f]{64}", digest):
            raise SystemExit(f"homebrew-formula: {found[0]} holds no SHA-256")
        sums[asset] = digest
    return sums


if __name__ == "__main__":
    if len(sys.argv) != 4:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    sys.stdout.write(formula(sys.argv[1], sys.argv[2], read_sums(sys.argv[3], sys.argv[1])))
