#!/usr/bin/env python3
"""Holds the generated release workflow and the test rig to the one table of tool versions in
docs/platform.md ("Release and test tools"), and the zizmor suppressions in the templates to
the list beside it:

  - "Install cargo-zigbuild" pins cargo-zigbuild and ziglang at the table's versions (both
    renderings), maturin-action asks for the table's maturin, every setup-uv for its uv;
  - build/test-tools holds what the table lists (scripts/install-deps.sh test wrote its stamp);
  - every `# zizmor: ignore[AUDIT]` in templates/ has a row (audit, file) with a reason.

Usage: check_tools.py PLATFORM_MD TEMPLATES_DIR TOOLS_DIR TARNWICK
"""
import pathlib
import re
import sys
import tempfile

HERE = pathlib.Path(__file__).resolve().parent
sys.dont_write_bytecode = True
sys.path.insert(0, str(HERE))
from generated import scaffold, workflow  # noqa: E402


def table(markdown, heading):
    """The rows of the first table after `heading`, as dicts keyed by its header cells."""
    lines = markdown.split(f"\n{heading}\n", 1)[1].splitlines()
    start = next(i for i, line in enumerate(lines) if line.startswith("|"))
    end = next((i for i in range(start, len(lines)) if not lines[i].startswith("|")), len(lines))
    cells = [[c.strip() for c in line.strip("|").split("|")] for line in lines[start:end]]
    return [dict(zip(cells[0], row)) for row in cells[2:]]


def steps_using(text, action):
    """The text of each step of `text` that uses `action`, up to the next step."""
    return re.findall(r"- (?:name: [^\n]*\n\s+)?uses: " + re.escape(action) + r"@[^\n]*\n((?:\s{8,}[^\n]*\n)*)", text)


def main(argv):
    if len(argv) != 5:
        print(__doc__, file=sys.stderr)
        return 2
    platform, templates, tools, tarnwick = (pathlib.Path(a) for a in argv[1:])
    markdown = platform.read_text(encoding="utf-8")
    rows = table(markdown, "## Release and test tools")
    version = {r["tool"]: r["version"] for r in rows}
    problems = []
    for needed in ("maturin", "cargo-zigbuild", "ziglang", "uv", "pypiserver", "zizmor",
                   "check-jsonschema", "actionlint"):
        if needed not in version:
            problems.append(f"docs/platform.md lists no version of {needed}")
    if problems:
        print("\n".join("FAIL: " + p for p in problems))
        return 1

    with tempfile.TemporaryDirectory() as tmp:
        for pypi in (True, False):
            text = workflow(scaffold(tarnwick, pathlib.Path(tmp) / str(pypi), pypi), "release.yml")
            label = "release.yml" + ("" if pypi else " without PyPI")
            for tool in ("cargo-zigbuild", "ziglang"):
                pin = f'"{tool}=={version[tool]}"'
                if pin not in text:
                    problems.append(f"{label}: \"Install cargo-zigbuild\" does not install {pin}")
            if not pypi:
                continue
            for step in steps_using(text, "PyO3/maturin-action") or [""]:
                if f"maturin-version: v{version['maturin']}\n" not in step:
                    problems.append(f"{label}: maturin-action does not ask for maturin v{version['maturin']}: {step!r}")
            uv_steps = steps_using(text, "astral-sh/setup-uv")
            if not uv_steps:
                problems.append(f"{label}: no setup-uv step")
            for step in uv_steps:
                if f'version: "{version["uv"]}"\n' not in step:
                    problems.append(f"{label}: setup-uv does not ask for uv {version['uv']}: {step!r}")

    want = []
    for r in rows:
        want.append(f"{r['package']}=={r['version']}" if r["registry"] == "PyPI"
                    else f"{r['package']}@{r['version']}")
    stamp = tools / "installed"
    have = stamp.read_text(encoding="utf-8").split() if stamp.is_file() else []
    if have != want:
        problems.append(f"{tools} holds {have or 'nothing'}, the table lists {want}: "
                        "run scripts/install-deps.sh test")

    listed = {(r["audit"], r["where"].strip("`")) for r in
              table(markdown, "### zizmor findings suppressed in the templates") if r.get("why")}
    for path in sorted(templates.rglob("*.tmpl")):
        for n, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            for audit in re.findall(r"# zizmor: ignore\[([^\]]+)\]", line):
                where = str(path.relative_to(templates))
                if (audit, where) not in listed:
                    problems.append(f"{where}:{n}: zizmor's {audit} is suppressed but not listed "
                                    "with its reason in docs/platform.md")
    for p in problems:
        print("FAIL: " + p)
    print(f"{len(rows)} tools, {len(problems)} problem(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
