#!/usr/bin/env python3
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

Each unit is compiled through ccache when it is installed, as the CMake builds are: in this
machine's ccache directory, under its size limit. ccache's compiler is OUT/zig-c++, a script
that runs `CMD c++`, taken for clang and known by `zig version`. The compiles run in the
checkout, which is ccache's base_dir, so every path under it reaches ccache relative, and the
units name their sources by their paths under src/ and the generated directory: two checkouts
at different paths, with OUT and the generated directory inside them, and zig inside them too
(build/test-tools) or at one path for both, share their objects. Without ccache zig compiles directly, keeping its objects in
OUT/zig-cache, or in ZIG_LOCAL_CACHE_DIR when that is set.
"""
import argparse
import concurrent.futures
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


def unity_sources(generated, unity):
    """One unit per folder of src/ that includes each of its .cpp files, and one for main.cpp
    with the generated sources, by name: {name: unit}. A unit is never named main.cpp, since
    a quoted #include looks beside the unit first."""
    groups = {}
    for source in sorted((ROOT / "src").rglob("*.cpp")):
        folder = source.parent.relative_to(ROOT / "src")
        if folder.parts:
            groups.setdefault(folder.as_posix().replace("/", "_"), []).append(
                f"{folder.as_posix()}/{source.name}")
    groups["main"] = ["main.cpp", *sorted(p.name for p in generated.glob("*.cpp"))]
    unity.mkdir(parents=True, exist_ok=True)
    units = {}
    for name, sources in groups.items():
        units[name] = unity / f"{name}.unit.cpp"
        text = "".join(f'#include "{s}"\n' for s in sources)
        if not units[name].is_file() or units[name].read_text() != text:
            units[name].write_text(text)
    return units


def json_only(json_include, include):
    """A directory holding nothing but a link to nlohmann/, so no other host header is found."""
    include.mkdir(parents=True, exist_ok=True)
    link = include / "nlohmann"
    if link.is_symlink() or link.exists():
        link.unlink()
    link.symlink_to((json_include / "nlohmann").resolve(), target_is_directory=True)


def compiler(zig, out, env):
    """The command that compiles a unit, and env with what it needs: ccache in front of zig
    when ccache is installed, zig alone otherwise."""
    env.setdefault("ZIG_LOCAL_CACHE_DIR", str(out / "zig-cache"))
    ccache = shutil.which("ccache")
    if not ccache:
        print(f"ccache is not installed: zig compiles directly (its cache: "
              f"{env['ZIG_LOCAL_CACHE_DIR']})")
        return [*zig, "c++"]
    version = subprocess.run([*zig, "version"], capture_output=True, text=True, check=True)
    wrapper = out / "zig-c++"
    wrapper.write_text(f'#!/bin/sh\nexec {shlex.join(zig)} c++ "$@"\n')
    wrapper.chmod(0o755)
    env.update(CCACHE_BASEDIR=str(ROOT), CCACHE_COMPILERTYPE="clang",
               CCACHE_COMPILERCHECK=f"string:{version.stdout.strip()}")
    print(f"compiling through ccache ({ccache}), zig {version.stdout.strip()}")
    return [ccache, str(wrapper)]


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


def run(command, env):
    done = subprocess.run(command, capture_output=True, text=True, env=env, cwd=ROOT)
    return done.returncode, done.stdout + done.stderr


def build(zig, cxx, target, units, args, env):
    started = time.monotonic()
    directory = args.out / target
    directory.mkdir(parents=True, exist_ok=True)
    flags = compile_flags(target, args.release, args.generated, args.out / "include")
    objects = [directory / f"{name}.o" for name in units]
    with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
        results = list(pool.map(lambda c: run(c, env),
                                [[*cxx, *flags, "-c", str(u), "-o", str(o)]
                                 for u, o in zip(units.values(), objects)]))
    failed = [(name, out) for name, (code, out) in zip(units, results) if code != 0]
    for name, out in failed:
        print(f"FAIL: {name} does not compile for {target}:\n{out}", file=sys.stderr)
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
    json_only(args.json_include, args.out / "include")
    units = unity_sources(args.generated, args.out / "unity")
    zig, env = shlex.split(args.zig), dict(os.environ)
    cxx = compiler(zig, args.out, env)
    ok = [build(zig, cxx, target, units, args, env) for target in args.targets]
    return 0 if all(ok) else 1


if __name__ == "__main__":
    sys.exit(main())
