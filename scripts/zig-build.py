#!/usr/bin/env python3
"""Builds tarnwick for other systems with `zig c++`: the release archives' binaries (Linux
linked for an old glibc, both macOS architectures) and the suite's check that every source
file compiles and links there.

The library is compiled as one unit per folder of src/ (the files of a folder share their
headers), plus one for main.cpp and the generated sources of a CMake build tree (product.hpp,
the embedded templates and platform table), which stay the normal build's. nlohmann_json is
given as its own include directory only, never the host's whole /usr/include. The C++ runtime
is zig's libc++, linked statically.

Usage: zig-build.py [--release] [--cache DIR [--cache-limit MB]] --zig CMD --generated DIR
                    --json-include DIR --out DIR TARGET...
  CMD         how zig is started, one word per argument (e.g. "python3 -m ziglang")
  DIR         --generated: build/<preset>/generated; --json-include: the directory holding
              nlohmann/json.hpp; --cache: a directory of this machine's (default: the
              environment's TARNWICK_ZIG_CACHE; none: zig's own defaults)
  TARGET      a zig target: aarch64-macos.11.0, x86_64-macos.11.0, x86_64-linux-gnu.2.17 ...
Writes OUT/TARGET/tarnwick and prints one line per target with the seconds it took. Without
--release it compiles at -O0 without debug information, which is all a check needs.
ZIG_GLOBAL_CACHE_DIR, when set, keeps zig's build of libc++ for the next run.

With a cache directory, every checkout on the machine shares zig's objects of tarnwick. zig's
cache keys an object by the absolute path of its source and by its flags (the -I directories
among them), so the sources are compiled from a copy at a path that does not depend on where
the checkout is: CACHE/stage/<slot>/ holds src/, the generated sources and the unity files,
updated file by file (an unchanged file keeps its time, a changed one is rewritten, a removed
one is removed), and zig keeps its objects in CACHE/zig. zig checks every file an object was
compiled from, by content, so a changed source or header recompiles its units only. A run
holds its slot (an flock) while it builds; a second run at the same time takes the next slot.
Slots are named by the kind of build (check-N, release-N), so a check and a release that run
side by side each find their own sources' copy as they left it.
zig's cache is never trimmed by zig itself: when CACHE/zig has outgrown --cache-limit
megabytes (512 unless told), a run that finds no other using it clears it.
"""
import argparse
import concurrent.futures
import fcntl
import itertools
import os
import pathlib
import shlex
import shutil
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
# As the debug build: a warning fails the check. A release is not held up by one.
WARNINGS = ["-Wall", "-Wextra", "-Wpedantic"]


class Layout:
    """Where a build reads its sources from and writes its unity files to."""

    def __init__(self, src, generated, include, unity):
        self.src, self.generated, self.include, self.unity = src, generated, include, unity


def unity_sources(layout):
    """One source per folder of src/ that includes each of its .cpp files, and one for
    main.cpp with the generated sources."""
    layout.unity.mkdir(parents=True, exist_ok=True)
    groups = {}
    for source in sorted(layout.src.rglob("*.cpp")):
        if source.parent == layout.src:
            continue
        groups.setdefault(source.parent.relative_to(layout.src).as_posix(), []).append(source)
    groups["main"] = [layout.src / "main.cpp", *sorted(layout.generated.glob("*.cpp"))]
    made = []
    for name, sources in groups.items():
        unit = layout.unity / (name.replace("/", "_") + ".cpp")
        write_if_changed(unit, "".join(f'#include "{s}"\n' for s in sources).encode())
        made.append(unit)
    for unit in layout.unity.glob("*.cpp"):
        if unit not in made:
            unit.unlink()  # a folder no longer in src/
    return made


def write_if_changed(path, data):
    """Writes data to path unless path holds it already, so an unchanged file keeps its time.
    The new text replaces the old one whole, never half written."""
    if path.is_file() and not path.is_symlink() and path.read_bytes() == data:
        return False
    path.parent.mkdir(parents=True, exist_ok=True)
    partial = path.with_name(path.name + ".partial")
    partial.write_bytes(data)
    os.replace(partial, path)
    return True


def mirror(source, dest):
    """Makes dest hold exactly source's files, by content. Returns how many it wrote or
    removed."""
    wanted = set()
    changed = 0
    for path in sorted(source.rglob("*")):
        if path.is_dir():
            continue
        relative = path.relative_to(source)
        wanted.add(relative)
        target = dest / relative
        if target.is_dir() and not target.is_symlink():
            shutil.rmtree(target)
        changed += write_if_changed(target, path.read_bytes())
    # Deepest first, so a folder emptied of its files goes too.
    for path in sorted(dest.rglob("*"), key=lambda p: len(p.parts), reverse=True):
        if path.is_dir() and not path.is_symlink():
            if not any(path.iterdir()):
                path.rmdir()
        elif path.relative_to(dest) not in wanted:
            path.unlink()
            changed += 1
    return changed


def json_only(json_include, include):
    """A directory holding nothing but a link to nlohmann/, so no other host header is found."""
    include.mkdir(parents=True, exist_ok=True)
    link = include / "nlohmann"
    wanted = (json_include / "nlohmann").resolve()
    if link.is_symlink() and pathlib.Path(os.readlink(link)) == wanted:
        return include
    if link.is_symlink() or link.exists():
        link.unlink()
    link.symlink_to(wanted, target_is_directory=True)
    return include


def tree_size(directory):
    """Bytes in the files under directory (0 when there is none)."""
    total = 0
    for top, _, files in os.walk(directory):
        for name in files:
            try:
                total += os.lstat(os.path.join(top, name)).st_size
            except FileNotFoundError:
                pass  # removed by a zig of another run meanwhile
    return total


def hold_cache(cache, limit):
    """Opens the cache for a run: a shared flock on CACHE/lock, held until the run ends. Before
    that, if no other run holds the lock, tidies zig's part. Returns the open lock file."""
    cache.mkdir(parents=True, exist_ok=True)
    lock = open(cache / "lock", "w")
    try:
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except BlockingIOError:
        pass  # in use: left as it is, for a later run to tidy
    else:
        tidy(cache / "zig", limit)
    fcntl.flock(lock, fcntl.LOCK_SH)
    return lock


def tidy(objects, limit):
    """Clears zig's cache once it has grown past limit bytes; otherwise removes the empty
    directories zig leaves in its tmp/ at every compile."""
    if tree_size(objects) > limit:
        shutil.rmtree(objects, ignore_errors=True)
        print(f"cleared {objects}: it had grown past {limit // 2**20} MB")
        return
    if (objects / "tmp").is_dir():
        for entry in (objects / "tmp").iterdir():
            try:
                entry.rmdir()
            except OSError:
                pass  # not empty, or not a directory


def take_slot(cache, name):
    """The first staging directory CACHE/stage/NAME-<n> no other run holds, and its flock."""
    stages = cache / "stage"
    stages.mkdir(parents=True, exist_ok=True)
    for number in itertools.count():
        lock = open(stages / f"{name}-{number}.lock", "w")
        try:
            fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except BlockingIOError:
            lock.close()
            continue
        return stages / f"{name}-{number}", lock


def staged_layout(stage, generated, json_include):
    """The sources copied into stage, at paths that are the same for every checkout."""
    layout = Layout(stage / "src", stage / "generated", stage / "include", stage / "unity")
    changed = mirror(ROOT / "src", layout.src) + mirror(generated, layout.generated)
    json_only(json_include, layout.include)
    print(f"staged the sources in {stage} ({changed} files written or removed)")
    return layout


def compile_flags(target, release, layout):
    flags = ["-target", target, "-std=c++20", *WARNINGS, f"-I{layout.src}",
             f"-I{layout.generated}", "-isystem", str(layout.include)]
    if release:
        flags += ["-O2", "-DNDEBUG", "-ffunction-sections", "-fdata-sections"]
    else:
        flags += ["-O0", "-g0", "-Werror"]
    return flags


def link_flags(target, release):
    if not release:
        return []
    return ["-Wl,--gc-sections", "-s"] if "-linux" in target else ["-Wl,-dead_strip"]


def run(command, env):
    done = subprocess.run(command, capture_output=True, text=True, env=env)
    return done.returncode, done.stdout + done.stderr


def build(zig, target, units, args, env):
    started = time.monotonic()
    directory = args.out / target
    directory.mkdir(parents=True, exist_ok=True)
    flags = compile_flags(target, args.release, args.layout)
    objects = [directory / (unit.stem + ".o") for unit in units]
    with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
        results = list(pool.map(lambda c: run(c, env),
                                [[*zig, "c++", *flags, "-c", str(u), "-o", str(o)]
                                 for u, o in zip(units, objects)]))
    failed = [(u, out) for u, (code, out) in zip(units, results) if code != 0]
    for unit, out in failed:
        print(f"FAIL: {unit.stem} does not compile for {target}:\n{out}", file=sys.stderr)
    if failed:
        return False
    binary = directory / "tarnwick"
    code, out = run([*zig, "c++", "-target", target, *map(str, objects),
                     *link_flags(target, args.release), "-o", str(binary)], env)
    if code != 0:
        print(f"FAIL: tarnwick does not link for {target}:\n{out}", file=sys.stderr)
        return False
    print(f"built {binary} in {time.monotonic() - started:.0f} s")
    return True


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--release", action="store_true")
    parser.add_argument("--zig", required=True)
    parser.add_argument("--generated", required=True, type=pathlib.Path)
    parser.add_argument("--json-include", required=True, type=pathlib.Path)
    parser.add_argument("--out", required=True, type=pathlib.Path)
    parser.add_argument("--cache", type=pathlib.Path,
                        default=os.environ.get("TARNWICK_ZIG_CACHE") or None)
    parser.add_argument("--cache-limit", type=int, default=512, metavar="MB")
    parser.add_argument("--jobs", type=int, default=min(2, os.cpu_count() or 1))
    parser.add_argument("targets", nargs="+")
    args = parser.parse_args()
    if not (args.json_include / "nlohmann" / "json.hpp").is_file():
        print(f"{args.json_include} holds no nlohmann/json.hpp", file=sys.stderr)
        return 2
    if not (args.generated / "core" / "product.hpp").is_file():
        print(f"{args.generated} is not the generated directory of a build tree", file=sys.stderr)
        return 2
    args.generated, args.out = args.generated.resolve(), args.out.resolve()
    env = dict(os.environ)
    held = []
    if args.cache:
        cache = args.cache.resolve()
        held.append(hold_cache(cache, args.cache_limit * 2**20))
        stage, slot = take_slot(cache, "release" if args.release else "check")
        held.append(slot)
        args.layout = staged_layout(stage, args.generated, args.json_include)
        env["ZIG_LOCAL_CACHE_DIR"] = str(cache / "zig")
    else:
        args.layout = Layout(ROOT / "src", args.generated, args.out / "include",
                             args.out / "unity")
        json_only(args.json_include, args.layout.include)
    units = unity_sources(args.layout)
    zig = shlex.split(args.zig)
    ok = [build(zig, target, units, args, env) for target in args.targets]
    for lock in held:
        lock.close()
    return 0 if all(ok) else 1


if __name__ == "__main__":
    sys.exit(main())
