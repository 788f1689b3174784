#!/usr/bin/env python3
"""scripts/zig-build.py with a cache directory, against a stand-in zig that logs its arguments:
two checkouts at different paths (one with a debug, one with a release tree's generated
sources) must hand zig the same compile commands, apart from the object's path, since zig keys
its cache by them; the staged copy must follow the checkout file by file; a held slot sends a
second run to the next one; and zig's part of the cache is cleared past its limit unless
another run is using it.

Usage: zig_build_test.py SCRIPT (scripts/zig-build.py)
"""
import fcntl
import importlib.util
import json
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile

FAKE_ZIG = """import json, os, sys
with open(sys.argv[1], "a") as log:
    log.write(json.dumps([os.environ.get("ZIG_LOCAL_CACHE_DIR"), sys.argv[2:]]) + "\\n")
open(sys.argv[sys.argv.index("-o") + 1], "w").close()
"""
failures = []


def check(what, ok):
    if not ok:
        failures.append(what)


def checkout(base, name, script, preset):
    """A checkout: the script, two folders of sources and a build tree's generated sources."""
    root = base / name
    for path, text in [("src/main.cpp", "int main() {}"), ("src/cli/a.cpp", '#include "cli/a.hpp"'),
                       ("src/cli/a.hpp", ""), ("src/core/b.cpp", ""),
                       (f"build/{preset}/generated/core/product.hpp", ""),
                       (f"build/{preset}/generated/template_data.cpp", "")]:
        (root / path).parent.mkdir(parents=True, exist_ok=True)
        (root / path).write_text(text)
    (root / "scripts").mkdir()
    shutil.copy(script, root / "scripts" / "zig-build.py")
    return root


def build(base, root, preset, *extra):
    """The compile and link commands zig was given by one run, with ZIG_LOCAL_CACHE_DIR."""
    log = base / "zig.log"
    log.unlink(missing_ok=True)
    done = subprocess.run(
        [sys.executable, "-I", str(root / "scripts" / "zig-build.py"), "--zig",
         f"{sys.executable} {base / 'fake_zig.py'} {log}", "--generated",
         str(root / "build" / preset / "generated"), "--json-include", str(base / "json"),
         "--out", str(root / "build" / preset / "cross"), *extra, "x86_64-macos.11.0"],
        capture_output=True, text=True, env=dict(os.environ, TARNWICK_ZIG_CACHE=""))
    check(f"zig-build.py exits 0 in {root}: {done.stdout}{done.stderr}", done.returncode == 0)
    lines = [json.loads(line) for line in log.read_text().splitlines()] if log.exists() else []
    # The object's own path (-o) is where zig copies the object to, not part of its key.
    # Compiles run side by side, in any order; the link comes last.
    commands = [(env, [a for i, a in enumerate(args) if i == 0 or args[i - 1] != "-o"])
                for env, args in lines]
    return sorted(commands[:-1]) + commands[-1:]


def main(script):
    spec = importlib.util.spec_from_file_location("zig_build", script)
    zig_build = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(zig_build)
    base = pathlib.Path(tempfile.mkdtemp(prefix="zig-build-test."))
    try:
        (base / "fake_zig.py").write_text(FAKE_ZIG)
        (base / "json" / "nlohmann").mkdir(parents=True)
        (base / "json" / "nlohmann" / "json.hpp").write_text("")
        cache = base / "cache"
        first = checkout(base, "first", script, "debug")
        second = checkout(base, "elsewhere/second", script, "release")
        commands = build(base, first, "debug", "--cache", str(cache))
        check("one compile per folder and main, then the link", len(commands) == 4)
        check("zig keeps its objects in CACHE/zig",
              all(env == str(cache / "zig") for env, _ in commands))
        check("no compile command names the checkout",
              not any(str(first) in arg for _, args in commands[:-1] for arg in args))
        check("a second checkout hands zig the same compile commands",
              build(base, second, "release", "--cache", str(cache))[:-1] == commands[:-1])
        unity = (cache / "stage" / "check-0" / "unity" / "cli.cpp").read_text()
        check("the unity file includes the staged sources",
              unity == f'#include "{cache / "stage/check-0/src/cli/a.cpp"}"\n')
        no_cache = build(base, first, "debug")
        check("without a cache zig reads the checkout and keeps its own cache",
              bool(no_cache) and no_cache[0][0] is None and f"-I{first / 'src'}" in no_cache[0][1])

        staged = cache / "stage" / "check-0" / "src"
        kept = (staged / "cli" / "a.cpp").stat()
        (second / "src" / "cli" / "a.hpp").write_text("int changed;")
        shutil.rmtree(second / "src" / "core")
        (second / "src" / "cli" / "new.cpp").write_text("")
        check("mirror counts one rewrite, one removal and one new file",
              zig_build.mirror(second / "src", staged) == 3)
        check("a changed file is rewritten",
              (staged / "cli" / "a.hpp").read_text() == "int changed;")
        check("a removed file and its emptied folder go", not (staged / "core").exists())
        check("a new file is copied", (staged / "cli" / "new.cpp").is_file())
        check("a file mirrored again unchanged is not written",
              zig_build.mirror(second / "src", staged) == 0)
        check("a folder gone from src/ is no unit any more",
              len(build(base, second, "release", "--cache", str(cache))) == 3
              and not (cache / "stage" / "check-0" / "unity" / "core.cpp").exists())
        (first / "src" / "cli" / "a.cpp").touch()
        zig_build.mirror(first / "src", staged)
        check("an unchanged file keeps its time", (staged / "cli" / "a.cpp").stat().st_mtime_ns
              == kept.st_mtime_ns and (staged / "core" / "b.cpp").is_file())

        with open(cache / "stage" / "check-0.lock", "w") as held:
            fcntl.flock(held, fcntl.LOCK_EX)
            stage, lock = zig_build.take_slot(cache, "check")
            check(f"a held slot sends the run to the next, not {stage.name}",
                  stage.name == "check-1")
            lock.close()
        stage, lock = zig_build.take_slot(cache, "check")
        check("a released slot is taken again", stage.name == "check-0")
        lock.close()

        objects, leftover = cache / "zig" / "o" / "x", cache / "zig" / "tmp" / "y"
        # Another run using the cache, the limit in bytes, and whether the objects are cleared
        # and zig's empty tmp/ directories removed.
        for other_run, limit, cleared, tidied in [(True, 10, False, False),
                                                  (False, 10**6, False, True),
                                                  (False, 10, True, True)]:
            objects.mkdir(parents=True, exist_ok=True)
            leftover.mkdir(parents=True, exist_ok=True)
            (objects / "a.o").write_bytes(bytes(100))
            with open(cache / "lock", "w") as other:
                if other_run:
                    fcntl.flock(other, fcntl.LOCK_SH)
                zig_build.hold_cache(cache, limit).close()
            check(f"limit {limit}, another run {other_run}: cleared is {cleared}",
                  (not objects.exists()) == cleared and (not leftover.exists()) == tidied)
    finally:
        shutil.rmtree(base)
    for failure in failures:
        print(f"FAIL {failure}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(pathlib.Path(sys.argv[1]).resolve()))
