#!/usr/bin/python3
"""Holds the workflows of a project scaffolded by the tarnwick under test (pypi on and off) to
the dated platform table in docs/platform.md and to the hardening rules: runner images that
still run, actions pinned to a full SHA whose tag, SHA and runtime are the table's, checkouts
without persisted credentials, no expression inside a script, a timeout on every job, read-only
default permissions, a release that is never cancelled halfway, and Dependabot keeping both
ecosystems current.

Usage: check_platform.py PLATFORM_MD TARNWICK
"""
import pathlib
import re
import sys
import tempfile

try:
    import yaml
except ImportError:  # Debian package python3-yaml
    yaml = None

HERE = pathlib.Path(__file__).resolve().parent
sys.dont_write_bytecode = True  # keep the source tree free of __pycache__
sys.path.insert(0, str(HERE))
from generated import scaffold  # noqa: E402

SKIP = 77
USES = re.compile(r"^\s*(?:-\s+)?uses:\s*(\S+?)@(\S+)(?:\s+#\s*(\S+))?\s*$")


def table(markdown, heading):
    """The rows of the first table under `## heading`, as dicts keyed by its header cells."""
    section = markdown.split(f"\n## {heading}\n", 1)[1].split("\n## ", 1)[0]
    rows = [line for line in section.splitlines() if line.startswith("|")]
    cells = [[c.strip().strip("`") for c in row.strip("|").split("|")] for row in rows]
    header, body = cells[0], cells[2:]
    return [dict(zip(header, row)) for row in body]


def runner_labels(doc):
    """Every runs-on value of every job, matrix entries expanded."""
    labels = []
    for job_id, job in doc["jobs"].items():
        runs_on = str(job.get("runs-on", ""))
        if "matrix.os" in runs_on:
            labels += [(job_id, e["os"]) for e in job["strategy"]["matrix"]["include"]]
        else:
            labels.append((job_id, runs_on))
    return labels


def check_workflow(failures, label, text, images, actions):
    fail = lambda message: failures.append(f"{label}: {message}")  # noqa: E731
    doc = yaml.safe_load(text)
    for job_id, runs_on in runner_labels(doc):
        status = images.get(runs_on, {}).get("status", "not in the table")
        if status != "available":
            fail(f"job {job_id} runs on {runs_on} ({status})")

    for number, line in enumerate(text.splitlines(), 1):
        m = USES.match(line)
        if not m:
            if "uses:" in line:
                fail(f"line {number}: a uses: line of an unknown form: {line.strip()}")
            continue
        action, ref, comment = m.groups()
        row = actions.get(action)
        if row is None:
            fail(f"line {number}: {action} is not in the actions table")
        elif not re.fullmatch(r"[0-9a-f]{40}", ref):
            fail(f"line {number}: {action}@{ref} is not pinned to a full commit SHA")
        elif (ref, comment) != (row["sha"], row["tag"]):
            fail(f"line {number}: {action}@{ref} # {comment} is not the table's "
                 f"{row['sha']} # {row['tag']}")
        elif row["runtime"] not in ("node24", "composite", "docker"):
            fail(f"line {number}: {action} {row['tag']} runs on {row['runtime']}")

    c_permissions = doc.get("permissions")
    if c_permissions != {"contents": "read"}:
        fail(f"top-level permissions are {c_permissions}, not contents: read")
    for job_id, job in doc["jobs"].items():
        if not isinstance(job.get("timeout-minutes"), int):
            fail(f"job {job_id} has no timeout-minutes")
        for index, step in enumerate(job.get("steps", []), 1):
            where = f"job {job_id} step {index} ({step.get('name') or step.get('uses')})"
            if str(step.get("uses", "")).startswith("actions/checkout@") and \
                    (step.get("with") or {}).get("persist-credentials") is not False:
                fail(f"{where}: checkout without persist-credentials: false")
            if "${{" in str(step.get("run", "")):
                fail(f"{where}: an expression inside run:; pass it through env:")
    return doc


def check_release_concurrency(failures, doc):
    group = doc.get("concurrency") or {}
    if not (isinstance(group, dict) and "github.ref" in str(group.get("group"))
            and group.get("cancel-in-progress") is False):
        failures.append(f"release.yml: concurrency {group} is not one group per tag that "
                        "never cancels a running release")


def check_dependabot(failures, text):
    doc = yaml.safe_load(text)
    updates = {u.get("package-ecosystem"): u for u in doc.get("updates", [])}
    for ecosystem in ("github-actions", "cargo"):
        update = updates.get(ecosystem)
        if update is None or update.get("schedule", {}).get("interval") != "weekly" \
                or update.get("directory") != "/":
            failures.append(f"dependabot.yml: no weekly update of {ecosystem} at /")
    if doc.get("version") != 2:
        failures.append("dependabot.yml: version is not 2")


def check_table(failures, actions, images):
    """The table itself: full SHAs, and a date on every row."""
    for row in actions.values():
        if not re.fullmatch(r"[0-9a-f]{40}", row["sha"]):
            failures.append(f"platform table: {row['action']} has no full SHA")
        if not re.fullmatch(r"\d{4}-\d{2}-\d{2}", row["checked"]):
            failures.append(f"platform table: {row['action']} has no date checked")
    for retired in ("macos-13", "macos-14", "ubuntu-20.04", "ubuntu-22.04", "ubuntu-22.04-arm",
                    "windows-2019"):
        if images.get(retired, {}).get("status") not in ("retired", "deprecated"):
            failures.append(f"platform table: {retired} is not listed as retired or deprecated")


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    if yaml is None:
        print("SKIP: the Python YAML module (Debian package python3-yaml) is not installed")
        return SKIP
    markdown = pathlib.Path(argv[1]).read_text(encoding="utf-8")
    images = {row["label"]: row for row in table(markdown, "Runner images")}
    actions = {row["action"]: row for row in table(markdown, "Actions")}
    failures = []
    check_table(failures, actions, images)
    with tempfile.TemporaryDirectory() as tmp:
        for pypi in (True, False):
            project = scaffold(argv[2], pathlib.Path(tmp) / str(pypi), pypi)
            workflows = project / ".github" / "workflows"
            suffix = " (pypi on)" if pypi else " (pypi off)"
            check_workflow(failures, "ci.yml" + suffix,
                           (workflows / "ci.yml").read_text(encoding="utf-8"), images, actions)
            release = check_workflow(failures, "release.yml" + suffix,
                                     (workflows / "release.yml").read_text(encoding="utf-8"),
                                     images, actions)
            check_release_concurrency(failures, release)
            check_dependabot(failures, (project / ".github" / "dependabot.yml")
                             .read_text(encoding="utf-8"))
    for failure in failures:
        print(f"FAIL {failure}")
    if failures:
        return 1
    print("workflows hold to the platform table")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
