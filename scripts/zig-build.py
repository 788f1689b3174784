#!/usr/bin/python3
"""Builds tarnwick for other systems with `zig c++`: the release archives' binaries (Linux
linked for an old glibc, both macOS architectures) and the suite's check that every source
file compiles and links there.

The library is compiled as one unit per folder of src/ (the files of a folder share their
headers), plus one for main.cpp and the generated sources of a CMake build tree (product.hpp,
the embedded templates and platform table), which stay the normal build's. nlohmann_json is
given as its own include directory only, never the host's whole /usr/include. The C++ runtime
is zig's libc++, linked statically.

Usage: zig-build.py [--release] --zig CMD --generated DIR --json-include DIR --out DIR TARGET...
  CMD         how zig is started, one word per argument (e.g. "python3 -m ziglang")
  DIR         --generated: build/<preset>/generated; --json-include: the directory holding
              nlohmann/json.hpp
  TARGET      a zig target: aarch64-macos.11.0, x86_64-macos.11.0, x86_64-linux-gnu.2.17 ...
Writes OUT/TARGET/tarnwick and prints one line per target with the seconds it took. Without
--release it compiles at -O0 without debug information, which is all a check needs.
ZIG_GLOBAL_CACHE_DIR, when set, keeps zig's build of libc++ for the next run.
"""
import argparse
import concurrent.futures
import os
import pathlib
import shlex
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
# As the debug build: a warning fails the check. A release is not held up by one.
WARNINGS = ["-Wall", "-Wextra", "-Wpedantic"]


def unity_sources(generated, out):
    """One source per folder of src/ that includes each of its .cpp files, and one for
    main.cpp with the generated sources."""
    units = out / "unity"
    units.mkdir(parents=True, exist_ok=True)
    groups = {}
    for source in sorted((ROOT / "src").rglob("*.cpp")):
        if source.parent == ROOT / "src":
            continue
        groups.setdefault(source.parent.relative_to(ROOT / "src").as_posix(), []).append(source)
    groups["main"] = [ROOT / "src" / "main.cpp", *sorted(generated.glob("*.cpp"))]
    made = []
    for name, sources in groups.items():
        unit = units / (name.replace("/", "_") + ".cpp")
        text = "".join(f'#include "{s}"\n' for s in sources)
        if not unit.exists() or unit.read_text() != text:
            unit.write_text(text)
        made.append(unit)
    return made


def json_only(json_include, out):
    """A directory holding nothing but a link to nlohmann/, so no other host header is found."""
    include = out / "include"
    include.mkdir(parents=True, exist_ok=True)
    link = include / "nlohmann"
    if link.is_symlink() or link.exists():
        link.unlink()
    link.symlink_to((json_include / "nlohmann").resolve(), target_is_directory=True)
    return include


def compile_flags(target, release, generated, include):
    flags = ["-target", target, "-std=c++20", *WARNINGS, f"-I{ROOT / 'src'}", f"-I{generated}",
             "-isystem", str(include)]
    if release:
        flags += ["-O2", "-DNDEBUG", "-ffunction-sections", "-fdata-sections"]
    else:
        flags += ["-O0", "-g0", "-Werror"]
    return flags


def link_flags(target, release):
    if not release:
        return []
    return ["-Wl,--gc-sections", "-s"] if "-linux" in target else ["-Wl,-dead_strip"]


def run(command):
    done = subprocess.run(command, capture_output=True, text=True)
    return done.returncode, done.stdout + done.stderr


def build(zig, target, units, args, jobs):
    started = time.monotonic()
    directory = args.out / target
    directory.mkdir(parents=True, exist_ok=True)
    flags = compile_flags(target, args.release, args.generated, args.include)
    objects = [directory / (unit.stem + ".o") for unit in units]
    with concurrent.futures.ThreadPoolExecutor(max_workers=jobs) as pool:
        results = list(pool.map(run, [[*zig, "c++", *flags, "-c", str(u), "-o", str(o)]
                                      for u, o in zip(units, objects)]))
    failed = [(u, out) for u, (code, out) in zip(units, results) if code != 0]
    for unit, out in failed:
        print(f"FAIL: {unit.stem} does not compile for {target}:\n{out}", file=sys.stderr)
    if failed:
        return False
    binary = directory / "tarnwick"
    code, out = run([*zig, "c++", "-target", target, *map(str, objects),
                     *link_flags(target, args.release), "-o", str(binary)])
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
    units = unity_sources(args.generated, args.out)
    args.include = json_only(args.json_include, args.out)
    zig = shlex.split(args.zig)
    ok = [build(zig, target, units, args, args.jobs) for target in args.targets]
    return 0 if all(ok) else 1


if __name__ == "__main__":
    sys.exit(main())
