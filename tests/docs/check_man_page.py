#!/usr/bin/env python3
"""Holds the built man page to the program: it lints clean (mandoc -T lint at every level, and
groff's warnings through man --warnings), documents every command of the contract with exactly
the contract's arguments, the global options, every error kind with its exit code, and the
environment variables the sources read (no more); and it has the sections a man page needs. Each check is
first shown to catch a fault planted in a copy of the page.

Usage: check_man_page.py TARNWICK_BINARY PAGE SOURCE_DIR
"""
import json
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

# Every command accepts these without the contract naming them: the parser's own.
BUILT_IN_OPTIONS = {"--help", "--version"}
# What the program hands its children that the user should know of, beyond what it reads.
SET_FOR_CHILDREN = {"RUSTUP_TOOLCHAIN"}
REQUIRED_SECTIONS = ["NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "COMMANDS", "EXIT STATUS",
                     "ENVIRONMENT", "FILES", "EXAMPLES"]


def sections(page):
    """{section name: its lines}, and within COMMANDS {command: its lines}."""
    out, commands, current, sub = {}, {}, None, None
    for line in page.splitlines():
        if line.startswith(".SH "):
            current, sub = line[4:].strip().strip('"'), None
            out[current] = []
        elif line.startswith(".SS ") and current == "COMMANDS":
            sub = line[4:].strip()
            commands[sub] = []
        elif current is not None:
            (commands[sub] if sub else out[current]).append(line)
    return out, commands


def tagged_arguments(lines):
    """The arguments named by the tags of .TP paragraphs: options as --name, positionals by
    their lowercased value name."""
    found = set()
    for before, tag in zip(lines, lines[1:]):
        if before != ".TP":
            continue
        options = re.findall(r"\\fB((?:\\-)+[A-Za-z0-9\\-]+)\\fR", tag)
        if options:
            found.update(o.replace("\\-", "-") for o in options if o.startswith("\\-\\-"))
            continue
        positional = re.fullmatch(r"\[?\\fI([A-Z0-9_]+)\\fR\]?", tag)
        if positional:
            found.add(positional.group(1).lower())
    return found


def variables_used(source_dir):
    """The variables the sources read, and those of SET_FOR_CHILDREN that they still set."""
    names = set()
    call = re.compile(r'\b(?:getenv|env_token|env_text|env_gives|base_url)\("([A-Z][A-Z0-9_]*)"')
    # The token lookups read the variables of a list in their header.
    token_lists = re.compile(r'k\w+TokenVariables = \{([^}]*)\}')
    for path in sorted((source_dir / "src").rglob("*.[ch]pp")):
        text = path.read_text(encoding="utf-8")
        names.update(call.findall(text))
        for listed in token_lists.findall(text):
            names.update(re.findall(r'"([A-Z][A-Z0-9_]*)"', listed))
        names.update(name for name in SET_FOR_CHILDREN if f'"{name}=' in text)
    return names


def contract_problems(page, contract, variables):
    problems = []
    found, commands = sections(page)
    problems += [f"no {name} section" for name in REQUIRED_SECTIONS if name not in found]
    want = {c["name"]: {a["name"] for a in c.get("args", [])} for c in contract["commands"]}
    if set(commands) != set(want):
        problems.append(f"COMMANDS documents {sorted(commands)}, the contract has {sorted(want)}")
    for name, args in want.items():
        have = tagged_arguments(commands.get(name, []))
        if have != args:
            problems.append(f"{name}: the page has {sorted(have - args)} beyond the contract and "
                            f"lacks {sorted(args - have)}")
        if not any(f"\\fBtarnwick {name}\\fR" in line for line in found.get("SYNOPSIS", [])):
            problems.append(f"SYNOPSIS lacks {name}")
    globals_ = {a["name"] for a in contract["global_args"]} | BUILT_IN_OPTIONS
    have = tagged_arguments(found.get("OPTIONS", []))
    if have != globals_:
        problems.append(f"OPTIONS documents {sorted(have)}, expected {sorted(globals_)}")
    codes = set(re.findall(r"^\\fB(\d+)\\fR, kind \\fB([a-z_]+)\\fR$",
                           "\n".join(found.get("EXIT STATUS", [])), flags=re.M))
    errors = {(str(e["exit_code"]), e["kind"]) for e in contract["errors"]}
    if codes != errors:
        problems.append(f"EXIT STATUS has {sorted(codes - errors)} beyond the contract and lacks "
                        f"{sorted(errors - codes)}")
    environment = set(re.findall(r"^\.B ([A-Z][A-Z0-9_]*)$", "\n".join(found.get("ENVIRONMENT", [])),
                                 flags=re.M))
    expected = variables
    if environment != expected:
        problems.append(f"ENVIRONMENT has {sorted(environment - expected)} that the program does "
                        f"not use and lacks {sorted(expected - environment)}")
    if not any(".tarnwick.toml" in line for line in found.get("FILES", [])):
        problems.append("FILES lacks the project record .tarnwick.toml")
    return problems


def lint_problems(page_path):
    problems = []
    linters = 0
    if shutil.which("mandoc"):
        linters += 1
        run = subprocess.run(["mandoc", "-T", "lint", "-W", "all", str(page_path)],
                             capture_output=True, text=True)
        if run.returncode != 0 or run.stdout or run.stderr:
            problems.append("mandoc -T lint: " + (run.stdout + run.stderr).strip())
    if shutil.which("man") and shutil.which("groff"):
        linters += 1
        run = subprocess.run(["man", "--warnings", "-E", "UTF-8", "-l", str(page_path)],
                             capture_output=True, text=True, env={"PATH": "/usr/bin:/bin",
                                                                  "MANWIDTH": "80"})
        if run.returncode != 0 or run.stderr:
            problems.append("man --warnings: " + run.stderr.strip())
    if linters == 0:
        problems.append("neither mandoc nor man with groff is installed (scripts/install-deps.sh test)")
    return problems


def main():
    binary, page_path, source_dir = sys.argv[1], pathlib.Path(sys.argv[2]), pathlib.Path(sys.argv[3])
    contract = json.loads(subprocess.run([binary, "schema"], capture_output=True, text=True,
                                         check=True).stdout)
    page = page_path.read_text(encoding="utf-8")
    variables = variables_used(source_dir)
    if not {"TMPDIR", "CARGO_REGISTRY_TOKEN", "PYPI_API_TOKEN"} <= variables:
        print(f"FAIL the sources' variables were not found: {sorted(variables)}")
        return 1

    failures = 0
    # Planted faults first: a check that cannot fail proves nothing.
    update_block = page.index(".SS update")
    dry_run = page.index(".TP\n\\fB\\-\\-dry\\-run\\fR", update_block)
    planted = {
        "an option left out": page[:dry_run] + page[page.index("\n.TP", dry_run + 1):],
        "an option the contract lacks": page.replace(
            ".SS check\n", ".SS check\n.TP\n\\fB\\-\\-bogus\\fR\nNot an option.\n", 1),
        "an error kind the contract lacks": page.replace(
            "\\fB4\\fR, kind \\fBconflict\\fR", "\\fB5\\fR, kind \\fBconflict\\fR", 1),
        "a variable left out": page.replace(".B TMPDIR\n", ".TP\n", 1),
        "a variable the program does not read": page.replace(".B TMPDIR\n", ".B TEMP\n", 1),
        "a command left out": page.replace(".SS doctor", ".SS doctors", 1),
    }
    for name, text in planted.items():
        if text == page or not contract_problems(text, contract, variables):
            print(f"FAIL the contract check misses {name}")
            failures += 1
    with tempfile.TemporaryDirectory(prefix="tarnwick-man-") as work:
        broken = pathlib.Path(work) / "tarnwick.1"
        broken.write_text(page.replace(".SH FILES\n", ".SH FILES\n.XY\n\\fBunclosed\n", 1))
        if not lint_problems(broken):
            print("FAIL the linters miss an unknown request")
            failures += 1

    for problem in lint_problems(page_path) + contract_problems(page, contract, variables):
        print(f"FAIL {problem}")
        failures += 1
    if failures == 0:
        print(f"{page_path.name}: lints clean; {len(contract['commands'])} commands, their "
              f"arguments, {len(contract['errors'])} error kinds and {len(variables)} variables")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
