#!/usr/bin/env python3
"""tarnwick compiles and links for the systems it is released for but this machine is not:
scripts/zig-build.py builds it for each TARGET with the zig of build/test-tools (ziglang at the
version of docs/platform.md), and the binary is then held to what that target needs: a Mach-O
or ELF executable for the right CPU and, for a Linux target with a glibc version
(x86_64-linux-gnu.2.17), no symbol of a later glibc (objdump -T). A source file that does not
compile there fails the check.

Usage: check_cross.py TOOLS_DIR GENERATED_DIR JSON_INCLUDE WORK_DIR [--release] TARGET...
"""
import os
import pathlib
import re
import struct
import subprocess
import sys

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parent.parent

MACHO_64 = 0xFEEDFACF
MACHO_CPU = {"aarch64": 0x0100000C, "x86_64": 0x01000007}
ELF_MACHINE = {"aarch64": 183, "x86_64": 62}


def version(text):
    return tuple(int(part) for part in text.split("."))


def binary_problem(target, data):
    """Why the file is not an executable for target, or None."""
    arch = target.split("-")[0]
    if "-macos" in target:
        if len(data) < 8:
            return "too short for a Mach-O file"
        magic, cpu = struct.unpack_from("<II", data)
        if magic != MACHO_64:
            return f"not a 64-bit Mach-O file (magic {magic:#x})"
        if cpu != MACHO_CPU[arch]:
            return f"built for CPU type {cpu:#x}, not {arch}'s {MACHO_CPU[arch]:#x}"
        return None
    if data[:5] != b"\x7fELF\x02":
        return "not a 64-bit ELF file"
    machine = struct.unpack_from("<H", data, 18)[0]
    if machine != ELF_MACHINE[arch]:
        return f"built for ELF machine {machine}, not {arch}'s {ELF_MACHINE[arch]}"
    return None


def glibc_floor_problem(target, objdump_text):
    """Why the dynamic symbols need a glibc newer than the target's version, or None."""
    m = re.search(r"-linux-gnu\.(\d+\.\d+)$", target)
    if not m:
        return None
    floor = version(m.group(1))
    needed = {version(v) for v in re.findall(r"\bGLIBC_(\d+\.\d+(?:\.\d+)?)\b", objdump_text)}
    if not needed:
        return "no versioned glibc symbol at all: not linked against glibc"
    newest = max(needed)
    if newest > floor:
        later = sorted(line.split()[-1] for line in objdump_text.splitlines()
                       if re.search(r"\bGLIBC_(\d+\.\d+(?:\.\d+)?)\b", line)
                       and version(re.search(r"GLIBC_([\d.]+)", line).group(1)) > floor)
        return f"needs glibc {'.'.join(map(str, newest))} (for {', '.join(later)})"
    return None


def check_rules_bite():
    """The checks refuse what they must, on made-up inputs."""
    macho_arm = struct.pack("<II", MACHO_64, MACHO_CPU["aarch64"])
    elf_x86 = b"\x7fELF\x02" + bytes(13) + struct.pack("<H", ELF_MACHINE["x86_64"])
    cases = [
        (binary_problem("aarch64-macos.11.0", macho_arm), False),
        (binary_problem("x86_64-macos.11.0", macho_arm), True),
        (binary_problem("aarch64-macos.11.0", elf_x86), True),
        (binary_problem("x86_64-linux-gnu.2.17", elf_x86), False),
        (binary_problem("aarch64-linux-gnu.2.17", elf_x86), True),
        (glibc_floor_problem("x86_64-linux-gnu.2.17",
                             "0 DF *UND* 0 GLIBC_2.2.5 read\n0 DF *UND* 0 GLIBC_2.17 clock_gettime"),
         False),
        (glibc_floor_problem("x86_64-linux-gnu.2.17",
                             "0 DF *UND* 0 GLIBC_2.2.5 read\n0 DF *UND* 0 GLIBC_2.29 "
                             "posix_spawn_file_actions_addfchdir_np"), True),
        (glibc_floor_problem("x86_64-linux-gnu.2.17", "0 DF *UND* 0 read"), True),
    ]
    return [f"rule case {i} is {'accepted' if refused else 'refused'}"
            for i, (problem, refused) in enumerate(cases) if (problem is not None) != refused]


def main(argv):
    if len(argv) < 6:
        print(__doc__, file=sys.stderr)
        return 2
    tools, generated, json_include, work = map(pathlib.Path, argv[1:5])
    rest = argv[5:]
    release = "--release" in rest
    targets = [t for t in rest if t != "--release"]
    failures = check_rules_bite()
    python = tools / "venv" / "bin" / "python"
    if subprocess.run([str(python), "-c", "import ziglang"], capture_output=True).returncode != 0:
        print(f"FAIL: no ziglang in {tools}/venv (run scripts/install-deps.sh test)")
        return 1
    # zig's runtimes (libc++, libunwind) are built once per machine where zig keeps them for
    # every user; tarnwick's own units go through ccache, which every checkout shares.
    cache_home = os.environ.get("XDG_CACHE_HOME") or os.path.join(os.path.expanduser("~"), ".cache")
    env = dict(os.environ, ZIG_GLOBAL_CACHE_DIR=os.environ.get("ZIG_GLOBAL_CACHE_DIR") or
               os.path.join(cache_home, "zig"))
    command = [sys.executable, "-I", str(ROOT / "scripts" / "zig-build.py"),
               "--zig", f"{python} -m ziglang", "--generated", str(generated),
               "--json-include", str(json_include), "--out", str(work),
               *(["--release"] if release else []), *targets]
    if subprocess.run(command, env=env).returncode != 0:
        failures.append("zig-build.py failed (above)")
    for target in targets:
        binary = work / target / "tarnwick"
        if not binary.is_file():
            failures.append(f"{target}: no binary")
            continue
        problem = binary_problem(target, binary.read_bytes()[:64])
        if problem is None and "-linux-gnu." in target:
            dump = subprocess.run(["objdump", "-T", str(binary)], capture_output=True, text=True)
            problem = glibc_floor_problem(target, dump.stdout) if dump.returncode == 0 \
                else f"objdump -T failed: {dump.stderr.strip()}"
        if problem:
            failures.append(f"{target}: {problem}")
        else:
            print(f"ok: {target}")
    for failure in failures:
        print(f"FAIL {failure}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
