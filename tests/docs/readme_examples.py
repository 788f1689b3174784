#!/usr/bin/env python3
"""Runs every example of the README and compares its output, so the guide cannot drift.

An example is a ```console block: lines starting with "$ " are commands, the lines up to
the next command or the end of the block are the output expected from it (stdout and stderr
together). Commands run one after another with bash in one scratch directory, with the
built tarnwick first on PATH, the fake gh answering from a fixed scenario, a HOME whose git
identity is "Ada Lovelace <ada@example.com>", no tokens in the environment, and the registries
doctor asks pointed at a loopback port where nothing listens.

Usage: readme_examples.py TARNWICK_BINARY README.md FAKES_DIR [--show]
(TARNWICK_BIN in the environment, when set, names the binary instead.)
"""
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile


def examples(readme):
    blocks = re.findall(r"^( *)```console\n(.*?)^ *```", readme, flags=re.S | re.M)
    for indent, block in blocks:
        # Blocks inside list items are indented; the indentation is not part of the text.
        block = "\n".join(line[len(indent):] if line.startswith(indent) else line
                          for line in block.splitlines())
        command, expected = None, []
        for line in block.splitlines():
            if line.startswith("$ "):
                if command is not None:
                    yield command, "\n".join(expected)
                command, expected = line[2:], []
            else:
                expected.append(line)
        if command is not None:
            yield command, "\n".join(expected)


def sandbox(binary, fakes):
    root = pathlib.Path(tempfile.mkdtemp(prefix="tarnwick-readme-"))
    home = root / "home"
    work = root / "work"
    bindir = root / "bin"
    for d in (home, work, bindir):
        d.mkdir()
    (home / ".gitconfig").write_text("[user]\n\tname = Ada Lovelace\n\temail = ada@example.com\n")
    os.symlink(binary, bindir / "tarnwick")
    scenario = root / "scenario"
    scenario.mkdir()
    # The examples' repository already has the deploy key, and nothing else.
    (scenario / "secret_list.stdout").write_text("HOMEBREW_TAP_DEPLOY_KEY\n")
    (scenario / "auth_status.exit").write_text("1\n")
    (scenario / "auth_status.stderr").write_text("You are not logged into any GitHub hosts.\n")
    # The account administers every repository it can see.
    (scenario / "repo_view.stdout").write_text("ADMIN\n")
    env = {
        "PATH": f"{bindir}:{fakes}:/usr/bin:/bin",
        "HOME": str(home),
        "TMPDIR": str(root),
        "GIT_CONFIG_NOSYSTEM": "1",
        "LANG": "C.UTF-8",
        "FAKE_GH_SCENARIO": str(scenario),
        # doctor's registry name lookups get no answer (nothing listens there): `unknown`.
        "TARNWICK_CRATES_INDEX_URL": "http://127.0.0.1:9",
        "TARNWICK_CRATES_API_URL": "http://127.0.0.1:9",
        "TARNWICK_PYPI_URL": "http://127.0.0.1:9",
    }
    return root, work, env


def main():
    binary, readme_path, fakes = sys.argv[1:4]
    # make test runs the examples against the release binary too.
    binary = os.environ.get("TARNWICK_BIN") or binary
    show = "--show" in sys.argv
    readme = pathlib.Path(readme_path).read_text()
    root, work, env = sandbox(os.path.realpath(binary), os.path.realpath(fakes))
    failures = 0
    count = 0
    try:
        for command, expected in examples(readme):
            count += 1
            run = subprocess.run(["bash", "-c", command], cwd=work, env=env,
                                 stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
            got = run.stdout.rstrip("\n")
            if show:
                print(f"$ {command}\n{got}\n")
            elif got != expected.rstrip("\n"):
                failures += 1
                print(f"README example differs: $ {command}\n--- expected\n{expected}\n"
                      f"--- got\n{got}\n")
    finally:
        shutil.rmtree(root, ignore_errors=True)
    if count == 0:
        print("no ```console examples found in the README")
        return 1
    print(f"{count} README examples run, {failures} differ")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
