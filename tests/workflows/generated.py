"""Scaffolds the demo project with the tarnwick under test, so that the workflow checks read
the files exactly as `tarnwick new` writes them. Shared by the workflow checks."""
import pathlib
import subprocess

NAME = "demo-tool"
OWNER = "kestrow"
DESCRIPTION = "An ordoval-compliant CLI (demo-tool)."
AUTHOR = "Jo Example <jo@example.com>"


def scaffold(tarnwick, parent, pypi, license=None):
    """Runs `tarnwick new` into parent (with --license LICENSE when given) and returns the project
    directory. No git, and no PATH, so no cargo step runs either: the files are the rendered
    templates alone."""
    parent = pathlib.Path(parent)
    parent.mkdir(parents=True, exist_ok=True)
    args = [str(tarnwick), "new", NAME, "--no-git", "--owner", OWNER,
            "--description", DESCRIPTION, "--author", AUTHOR, "--into", str(parent), "-o", "json"]
    if not pypi:
        args.append("--no-pypi")
    if license:
        args += ["--license", license]
    env = {"PATH": "/nonexistent", "HOME": str(parent), "LANG": "C.UTF-8"}
    result = subprocess.run(args, env=env, capture_output=True)
    if result.returncode != 0:
        raise RuntimeError(f"{' '.join(args)}: exit {result.returncode}: "
                           f"{result.stderr.decode(errors='replace')}")
    return parent / NAME


def workflow(project, name):
    return (project / ".github" / "workflows" / name).read_text(encoding="utf-8")


def report(failures, passed):
    """Prints each failure, or the line that says all passed; returns the exit status (1 or 0)."""
    for failure in failures:
        print(f"FAIL {failure}")
    if failures:
        return 1
    print(passed)
    return 0
