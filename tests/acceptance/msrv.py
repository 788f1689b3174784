#!/usr/bin/env python3
"""The MSRV a generated project declares, as a fact of its lock file: every package that
`cargo metadata --locked` lists must declare a rust-version no newer than the project's own.
Then the same check on a copy of the metadata in which one dependency needs a newer Rust (and
one that declares none) must fail, naming that dependency, so the check cannot pass vacuously.

Usage: msrv.py METADATA_JSON   (the output of `cargo metadata --format-version 1 --locked`)
Exit 0 within the MSRV, 1 a package above it (or the check proved blind), 2 bad usage.
"""
import copy
import json
import sys


def version(text):
    return tuple(int(part) for part in text.split("."))


def above_msrv(meta):
    """(the project's rust-version, the packages that need a newer Rust, as text)."""
    root = next(p for p in meta["packages"] if p["id"] == meta["resolve"]["root"])
    floor = root.get("rust_version")
    if not floor:
        return None, [f"{root['name']} declares no rust-version"]
    return floor, sorted(f"{p['name']} {p['version']} needs {p['rust_version']}"
                         for p in meta["packages"]
                         if p.get("rust_version") and version(p["rust_version"]) > version(floor))


def main(argv):
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    with open(argv[1], encoding="utf-8") as f:
        meta = json.load(f)
    floor, above = above_msrv(meta)
    if above:
        print(f"  above the project's rust-version {floor}: " + "; ".join(above))
        return 1
    print(f"  {len(meta['packages'])} packages, none above rust-version {floor}")

    # The control: one dependency raised a minor version above the floor.
    planted = copy.deepcopy(meta)
    deps = [p for p in planted["packages"] if p["id"] != planted["resolve"]["root"]]
    if not deps:
        print("  the project has no dependencies: the check proves nothing")
        return 1
    major, minor = version(floor)[:2]
    deps[0]["rust_version"] = f"{major}.{minor + 1}"
    deps[-1]["rust_version"] = None
    _, caught = above_msrv(planted)
    if caught != [f"{deps[0]['name']} {deps[0]['version']} needs {major}.{minor + 1}"]:
        print(f"  a dependency planted above the floor was not caught exactly: {caught}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
