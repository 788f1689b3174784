#!/usr/bin/env python3
"""scripts/zig-build.py against a stand-in zig that logs its arguments and a ccache of the
test's own: a checkout at another path takes every unit from ccache, a changed header compiles
its unit again, another zig version compiles them all; without ccache zig compiles directly.

Usage: zig_build_test.py SCRIPT (scripts/zig-build.py)
"""
import json
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile

# The stand-in's preprocessor expands quoted includes after a line marker naming each file, as
# clang's does, so ccache learns which files a unit reads; an object is the expanded text and
# the link joins the objects.
FAKE_ZIG = r"""import json, os, sys
args = sys.argv[2:]
if args == ["version"]:
    sys.exit(print(os.environ.get("FAKE_ZIG_VERSION", "1")))
with open(sys.argv[1], "a") as log:
    log.write(json.dumps([os.environ.get("ZIG_LOCAL_CACHE_DIR"), args]) + "\n")
dirs = [a[2:] for a in args if a.startswith("-I")]
def expand(path):
    text = f'# 1 "{path}"\n'
    for line in open(path).read().splitlines():
        name = line[10:-1] if line.startswith('#include "') else ""
        found = [p for p in [os.path.join(os.path.dirname(path), name)]
                 + [os.path.join(d, name) for d in dirs] if name and os.path.isfile(p)]
        text += expand(found[0]) if found else line + "\n"
    return text
units = [a for a in args if a.endswith(".cpp")]
text = expand(units[0]) if units else "".join(open(a).read() for a in args if a.endswith(".o"))
if "-o" in args:
    open(args[args.index("-o") + 1], "w").write(text)
else:
    print(text, end="")
"""
SOURCES = {"src/main.cpp": "int main() {}", "src/cli/a.cpp": '#include "cli/a.hpp"',
           "src/cli/a.hpp": "int a;", "src/core/b.cpp": "int b;",
           "build/debug/generated/core/product.hpp": "", "build/debug/generated/data.cpp": ""}


def main(script):
    base = pathlib.Path(tempfile.mkdtemp(prefix="zig-build-test."))
    failures = []
    try:
        (base / "fake_zig.py").write_text(FAKE_ZIG)
        (base / "json" / "nlohmann").mkdir(parents=True)
        (base / "json" / "nlohmann" / "json.hpp").write_text("")
        (base / "no-ccache").mkdir()
        for name in ("first", "elsewhere/second"):
            for path, text in SOURCES.items():
                (base / name / path).parent.mkdir(parents=True, exist_ok=True)
                (base / name / path).write_text(text)
            (base / name / "scripts").mkdir()
            shutil.copy(script, base / name / "scripts" / "zig-build.py")
        first, second = base / "first", base / "elsewhere" / "second"
        have_ccache = shutil.which("ccache") is not None
        # ccache of the test's own, with no configuration but what the script sets.
        outer = {k: v for k, v in os.environ.items()
                 if not k.startswith("CCACHE_") and k != "ZIG_LOCAL_CACHE_DIR"}
        ccache_env = dict(CCACHE_DIR=str(base / "ccache"),
                          CCACHE_CONFIGPATH=str(base / "ccache.conf"))

        # What changes before a run, the checkout, the environment, and which units zig must
        # compile (the others come from ccache).
        runs = [
            ("a first build", None, first, ccache_env, {"cli", "core", "main"}),
            ("the same tree at another path", None, second, ccache_env, set()),
            ("a changed header", "cli/a.hpp", second, ccache_env, {"cli"}),
            ("the other checkout, unchanged", None, first, ccache_env, set()),
            ("another zig version", None, first, dict(ccache_env, FAKE_ZIG_VERSION="2"),
             {"cli", "core", "main"}),
            ("without ccache", None, first, {"PATH": str(base / "no-ccache")},
             {"cli", "core", "main"}),
        ]
        binaries = {}
        for what, changed, root, env, compiled in runs:
            if not have_ccache and "PATH" not in env:
                continue
            if changed:
                (root / "src" / changed).write_text("int changed;")
            log = base / "zig.log"
            log.unlink(missing_ok=True)
            out = root / "build" / "debug" / "cross"
            done = subprocess.run(
                [sys.executable, "-I", str(root / "scripts" / "zig-build.py"), "--zig",
                 f"{sys.executable} {base / 'fake_zig.py'} {log}", "--generated",
                 str(root / "build" / "debug" / "generated"), "--json-include",
                 str(base / "json"), "--out", str(out), "x86_64-macos.11.0"],
                capture_output=True, text=True, env=dict(outer, **env))
            calls = [json.loads(line) for line in log.read_text().splitlines()] \
                if log.exists() else []
            # Units ccache finds no object for, by their manifests, are preprocessed and
            # compiled by zig; a unit ccache takes from its cache starts no zig at all.
            units = {pathlib.Path(a).name.split(".")[0] for _, args in calls
                     for a in args if a.endswith(".cpp")}
            binary = out / "x86_64-macos.11.0" / "tarnwick"
            binaries[what] = binary.read_text() if binary.is_file() else None
            for problem, bad in [
                (f"exits {done.returncode}: {done.stdout}{done.stderr}", done.returncode != 0),
                (f"zig read {sorted(units)}, not {sorted(compiled)}", units != compiled),
                ("no binary linked", binaries[what] is None),
                ("does not say that ccache is missing",
                 "PATH" in env and "ccache is not installed" not in done.stdout),
                ("zig's cache is not in the output directory", "PATH" in env and any(
                    cache != str(out / "zig-cache") for cache, _ in calls)),
            ]:
                if bad:
                    failures.append(f"{what}: {problem}")
        if have_ccache and binaries["the same tree at another path"] != binaries["a first build"]:
            failures.append("the checkout at another path links another binary")
    finally:
        shutil.rmtree(base)
    for failure in failures:
        print(f"FAIL {failure}")
    if not failures and not have_ccache:
        print("SKIP: ccache is not installed; only the build without it was tested")
        return 77
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(pathlib.Path(sys.argv[1]).resolve()))
