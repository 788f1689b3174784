#!/usr/bin/env python3
"""The template sets tarnwick carries, checked against their record (template-sets/sets.tsv).

  template_sets.py digest DIR   print the digest of one template tree
  template_sets.py check        every recorded set is present and unchanged, templates/ is the
                                set of the version in CMakeLists.txt, and nothing is unrecorded
  template_sets.py freeze NEXT  after a release: copy templates/ to template-sets/VERSION,
                                record it, and make NEXT this tree's version, so that the
                                templates may change

A set's digest is SHA-256 over its files in byte order of their paths, each as the path, a NUL,
its length in decimal, a NUL and its bytes.
"""
import hashlib
import pathlib
import re
import shutil
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
SETS = ROOT / "template-sets"
RECORD = SETS / "sets.tsv"


def digest(tree: pathlib.Path) -> str:
    files = sorted(
        (p.relative_to(tree).as_posix().encode(), p) for p in tree.rglob("*") if p.is_file()
    )
    h = hashlib.sha256()
    for rel, path in files:
        data = path.read_bytes()
        h.update(rel + b"\0" + str(len(data)).encode() + b"\0" + data)
    return h.hexdigest()


def version() -> str:
    text = (ROOT / "CMakeLists.txt").read_text()
    return re.search(r"project\(tarnwick VERSION ([0-9.]+)", text).group(1)


def rows():
    out = []
    for line in RECORD.read_text().splitlines():
        if line.startswith("#") or not line.strip():
            continue
        identity, sha, origin = line.split("\t")
        out.append((identity, sha, origin))
    return out


def check() -> int:
    problems = []
    current = version()
    recorded = rows()
    if not recorded or recorded[0][0] != current or recorded[0][2] != "templates/":
        problems.append(
            f"the first row of {RECORD.name} must be this version's set, {current}, made from "
            "templates/ (after a release: `scripts/template_sets.py freeze`, then bump the version)"
        )
    for identity, sha, origin in recorded:
        tree = ROOT / "templates" if origin == "templates/" else SETS / identity
        if not tree.is_dir():
            problems.append(f"set {identity}: {tree.relative_to(ROOT)} is missing")
            continue
        actual = digest(tree)
        if actual != sha:
            if origin == "templates/":
                problems.append(
                    f"templates/ differ from the recorded set {identity} ({actual} != {sha}). "
                    f"If {identity} is unreleased, record the new digest; if it was released, "
                    "run `scripts/template_sets.py freeze` and raise the version: projects made "
                    f"by {identity} must still render as they were made"
                )
            else:
                problems.append(f"the released set {identity} changed ({actual} != {sha}): restore it")
    changelog = (ROOT / "CHANGELOG.md").read_text()
    if f"## [{current}]" not in changelog:
        problems.append(f"CHANGELOG.md has no `## [{current}]` section for this version")
    known = {identity for identity, _, origin in recorded if origin != "templates/"}
    for entry in SETS.iterdir():
        if entry.is_dir() and entry.name not in known:
            problems.append(f"template-sets/{entry.name} has no row in {RECORD.name}")
    for p in problems:
        print(p, file=sys.stderr)
    return 1 if problems else 0


def freeze(next_version: str) -> int:
    identity, sha, _ = rows()[0]
    target = SETS / identity
    if target.exists() or not re.fullmatch(r"[0-9]+\.[0-9]+\.[0-9]+", next_version):
        print(f"{target} exists already, or {next_version} is not X.Y.Z", file=sys.stderr)
        return 1
    shutil.copytree(ROOT / "templates", target)
    lines = RECORD.read_text().splitlines()
    at = next(i for i, l in enumerate(lines) if l.startswith(identity + "\t"))
    lines[at] = f"{identity}\t{sha}\ttarnwick {identity}"
    lines.insert(at, f"{next_version}\t{sha}\ttemplates/")
    RECORD.write_text("\n".join(lines) + "\n")
    cmake = ROOT / "CMakeLists.txt"
    cmake.write_text(
        re.sub(r"project\(tarnwick VERSION [0-9.]+", f"project(tarnwick VERSION {next_version}",
               cmake.read_text(), count=1))
    print(f"froze {identity} in {target}; this tree is now {next_version}")
    return 0


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "digest":
        print(digest(pathlib.Path(sys.argv[2])))
    elif sys.argv[1:] == ["check"]:
        sys.exit(check())
    elif len(sys.argv) == 3 and sys.argv[1] == "freeze":
        sys.exit(freeze(sys.argv[2]))
    else:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
