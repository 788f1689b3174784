#!/usr/bin/env python3
"""Lints what `tarnwick new` writes under .github/ with the linters the ecosystem uses, at the
versions of docs/platform.md, with nothing waived:

  actionlint         ci.yml and release.yml
  zizmor             the workflows and dependabot.yml, default persona, offline; a finding is
                     accepted only where the template carries zizmor's own ignore comment
  check-jsonschema   ci.yml and release.yml against the GitHub workflow schema, dependabot.yml
                     against Dependabot's (the schemas it ships: no network)

Each linter is then shown to be live: a copy of the project with one known fault must make
exactly that linter fail, naming the fault, so a linter that checks nothing cannot pass.

Usage: lint_workflows.py TOOLS_DIR TARNWICK       both renderings (PyPI on and off), and the
                                                  faults
       lint_workflows.py TOOLS_DIR --project DIR  one generated project as it is
TOOLS_DIR is build/test-tools, made by `scripts/install-deps.sh test`; without it the test
fails (it is never skipped).
"""
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile

HERE = pathlib.Path(__file__).resolve().parent
sys.dont_write_bytecode = True  # keep the source tree free of __pycache__
sys.path.insert(0, str(HERE))
from generated import scaffold  # noqa: E402

WORKFLOWS = (".github/workflows/ci.yml", ".github/workflows/release.yml")
DEPENDABOT = ".github/dependabot.yml"


class Tools:
    def __init__(self, tools_dir):
        root = pathlib.Path(tools_dir).resolve()
        self.paths = {"actionlint": root / "bin" / "actionlint",
                      "zizmor": root / "venv" / "bin" / "zizmor",
                      "check-jsonschema": root / "venv" / "bin" / "check-jsonschema"}
        self.missing = [str(p) for p in self.paths.values() if not os.access(p, os.X_OK)]

    def run(self, name, args, cwd):
        env = dict(os.environ, NO_COLOR="1")
        result = subprocess.run([str(self.paths[name]), *args], cwd=cwd, env=env,
                                capture_output=True, text=True)
        return result.returncode, result.stdout + result.stderr


def lint(tools, project):
    """Runs the three linters on one project; returns {linter: (ok, output)}."""
    project = pathlib.Path(project)
    results = {}
    code, out = tools.run("actionlint", ["-no-color", *WORKFLOWS], project)
    results["actionlint"] = (code == 0, out)
    code, out = tools.run("zizmor", ["--offline", "--no-progress", "--format", "plain",
                                     "--show-audit-urls", "never", "."], project)
    results["zizmor"] = (code == 0 and "No findings to report" in out, out)
    outputs, ok = [], True
    for schema, files in (("vendor.github-workflows", WORKFLOWS), ("vendor.dependabot", (DEPENDABOT,))):
        code, out = tools.run("check-jsonschema", ["--builtin-schema", schema, *files], project)
        ok = ok and code == 0
        outputs.append(out)
    results["check-jsonschema"] = (ok, "".join(outputs))
    return results


def report(label, results):
    failed = 0
    for linter, (ok, out) in results.items():
        print(f"{'ok' if ok else 'FAIL'}: {linter} on {label}")
        if not ok:
            failed += 1
            print("  " + out.strip().replace("\n", "\n  "))
    return failed


def replace_line(old, new):
    def edit(text):
        if old not in text:
            raise AssertionError(f"the fault cannot be made: {old!r} is not in the file")
        return text.replace(old, new, 1)
    return edit


# One fault per linter, each a line a template could plausibly lose or get wrong:
# (what, file, edit, the linter that must fail, text its output must contain)
FAULTS = [
    ("checkout keeps its credentials", ".github/workflows/ci.yml",
     replace_line("          persist-credentials: false\n", "          fetch-depth: 1\n"),
     "zizmor", "artipacked"),
    ("an action by tag, not by commit", ".github/workflows/release.yml",
     lambda t: t.replace("actions/checkout@3d3c42e5aac5ba805825da76410c181273ba90b1 # v7.0.1",
                         "actions/checkout@v7", 1),
     "zizmor", "unpinned-uses"),
    ("an expression inside a script", ".github/workflows/release.yml",
     replace_line('          VERSION="${REF_NAME#v}"\n',
                  '          VERSION="${{ github.head_ref }}"\n'),
     "zizmor", "template-injection"),
    ("a job needing a job that does not exist", ".github/workflows/release.yml",
     replace_line("    needs: test\n", "    needs: tests\n"),
     "actionlint", "tests"),
    ("a misspelt job key", ".github/workflows/ci.yml",
     lambda t: t.replace("    runs-on:", "    runs_on:", 1),
     "check-jsonschema", "runs_on"),
    ("Dependabot without a schedule", DEPENDABOT,
     replace_line("    schedule:\n      interval: weekly\n", ""),
     "check-jsonschema", "schedule"),
]


def check_faults(tools, project, scratch):
    failed = 0
    for what, path, edit, linter, expected in FAULTS:
        copy = pathlib.Path(scratch) / "fault"
        shutil.rmtree(copy, ignore_errors=True)
        shutil.copytree(project, copy)
        target = copy / path
        try:
            target.write_text(edit(target.read_text(encoding="utf-8")), encoding="utf-8")
        except AssertionError as e:
            print(f"FAIL: {what}: {e}")
            failed += 1
            continue
        ok, out = lint(tools, copy)[linter]
        if ok or expected not in out:
            print(f"FAIL: {linter} does not catch {what} (exit ok={ok}, wanted {expected!r}):")
            print("  " + out.strip().replace("\n", "\n  "))
            failed += 1
        else:
            print(f"ok: {linter} catches {what}")
    return failed


def main(argv):
    if len(argv) not in (3, 4) or (len(argv) == 4 and argv[2] != "--project"):
        print(__doc__, file=sys.stderr)
        return 2
    tools = Tools(argv[1])
    if tools.missing:
        print("FAIL: the linters are not installed (run scripts/install-deps.sh test): "
              + ", ".join(tools.missing))
        return 1
    if len(argv) == 4:
        return 1 if report(argv[3], lint(tools, argv[3])) else 0
    failed = 0
    with tempfile.TemporaryDirectory() as tmp:
        pypi_on = scaffold(argv[2], pathlib.Path(tmp) / "pypi-on", True)
        pypi_off = scaffold(argv[2], pathlib.Path(tmp) / "pypi-off", False)
        failed += report("the PyPI rendering", lint(tools, pypi_on))
        failed += report("the rendering without PyPI", lint(tools, pypi_off))
        dual = scaffold(argv[2], pathlib.Path(tmp) / "dual", True, "MIT OR Apache-2.0")
        failed += report("the dual-licence rendering", lint(tools, dual))
        failed += check_faults(tools, pypi_on, tmp)
    print(f"{failed} failure(s)")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
