#!/usr/bin/env python3
"""Holds tarnwick's own workflows (.github/ of this repository) to the rules it applies to the
workflows it writes for others, and lints them with the same tools:

  - runner images, action pins and runtimes against the dated table of docs/platform.md;
    checkouts without persisted credentials, no expression inside a script, python3 -I, a
    timeout on every job, read-only default permissions (check_platform.py's rules);
  - provenance attested by one job alone, which alone mints an identity token; the release job
    alone writes contents; one release per tag, never cancelled halfway; superseded CI runs
    cancelled for pull requests only;
  - the release builds nothing from a tag that disagrees with project(VERSION): its first job
    compares them, and every other job depends on it;
  - zig at the version of the "Release and test tools" table;
  - CI runs `make test` as root with CI=true (the rehearsals make mount namespaces, and a suite
    whose prerequisite is missing fails there instead of skipping), and `make lint`;
  - Dependabot keeps the action pins current, weekly, grouped, after a cooldown;
  - actionlint, zizmor and check-jsonschema with nothing waived (lint_workflows.py --project).

Usage: check_own.py SOURCE_DIR TOOLS_DIR
"""
import pathlib
import re
import subprocess
import sys

HERE = pathlib.Path(__file__).resolve().parent
sys.dont_write_bytecode = True
sys.path.insert(0, str(HERE))
import check_platform as rules  # noqa: E402
from generated import report  # noqa: E402


def check_release(failures, doc, zig_version):
    fail = lambda message: failures.append(f"release.yml: {message}")  # noqa: E731
    jobs = doc["jobs"]
    check = jobs.get("check-tag", {})
    script = "\n".join(str(s.get("run", "")) for s in check.get("steps", []))
    if "CMakeLists.txt" not in script or "REF_NAME" not in script:
        fail("the check-tag job does not compare the tag with CMakeLists.txt")

    def depends_on_check(job_id, seen=()):
        needs = jobs[job_id].get("needs", [])
        needs = [needs] if isinstance(needs, str) else needs
        return "check-tag" in needs or any(depends_on_check(n, seen + (job_id,))
                                           for n in needs if n not in seen)
    for job_id in jobs:
        if job_id != "check-tag" and not depends_on_check(job_id):
            fail(f"job {job_id} runs without the tag check")
    for job_id, job in jobs.items():
        if (job.get("permissions") or {}).get("contents") == "write" and job_id != "github-release":
            fail(f"job {job_id} may write contents")
    if (doc.get("env") or {}).get("ZIGLANG_VERSION") != zig_version:
        fail(f"ZIGLANG_VERSION is {(doc.get('env') or {}).get('ZIGLANG_VERSION')!r}, "
             f"not the table's {zig_version!r}")
    on = doc.get("on") or doc.get(True) or {}
    tags = ((on.get("push") or {}).get("tags")) or []
    if set(on) != {"push"} or tags != ["v[0-9]*.[0-9]*.[0-9]*"]:
        fail(f"starts on {sorted(map(str, on))} {tags}, not on version tags alone")
    rules.check_attestations(failures, doc)
    rules.check_release_concurrency(failures, doc)


def check_ci(failures, doc):
    scripts = [str(step.get("run", "")) for job in doc["jobs"].values()
               for step in job.get("steps", [])]
    tests = [s for s in scripts if re.search(r"\bmake test\b", s)]
    if not tests or not all(s.startswith("sudo ") and "CI=true" in s for s in tests):
        failures.append(f"ci.yml: make test does not run as root with CI=true: {tests}")
    if not any(re.search(r"\bmake lint\b", s) for s in scripts):
        failures.append("ci.yml: no job runs make lint")


def check_dependabot(failures, doc):
    updates = doc.get("updates") or []
    actions = [u for u in updates if u.get("package-ecosystem") == "github-actions"]
    if doc.get("version") != 2 or len(actions) != 1:
        failures.append("dependabot.yml: no single github-actions update")
        return
    update = actions[0]
    groups = list((update.get("groups") or {}).values())
    days = (update.get("cooldown") or {}).get("default-days")
    if (update.get("schedule") or {}).get("interval") != "weekly" or update.get("directory") != "/" \
            or len(groups) != 1 or groups[0].get("patterns") != ["*"] \
            or not isinstance(days, int) or days < 1:
        failures.append(f"dependabot.yml: the github-actions update is not weekly, grouped and "
                        f"cooled down: {update}")


def check_rules_bite(failures, release, zig_version, ci):
    """The release rules refuse a release without its tag check and one at another zig; the CI
    rules refuse `make test` as the runner's user and a CI without `make lint`."""
    import copy
    plain = copy.deepcopy(ci)
    for job in plain["jobs"].values():
        for step in job.get("steps", []):
            if "make lint" in str(step.get("run", "")):
                step["run"] = "true"
            if "make test" in str(step.get("run", "")):
                step["run"] = "make test"
    found = []
    check_ci(found, plain)
    for wanted in ("make test does not run as root", "no job runs make lint"):
        if not any(wanted in f for f in found):
            failures.append(f"rule: a CI where {wanted!r} is accepted")
    broken = copy.deepcopy(release)
    broken["jobs"]["test"]["needs"] = []
    broken["env"]["ZIGLANG_VERSION"] = "0.0.1"
    found = []
    check_release(found, broken, zig_version)
    for wanted in ("job test runs without the tag check", "ZIGLANG_VERSION is '0.0.1'"):
        if not any(wanted in f for f in found):
            failures.append(f"rule: a release with {wanted!r} is accepted")


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    if rules.yaml is None:
        print("FAIL: the Python YAML module (Debian package python3-yaml) is not installed")
        return 1
    source, tools = pathlib.Path(argv[1]), pathlib.Path(argv[2])
    markdown = (source / "docs" / "platform.md").read_text(encoding="utf-8")
    images = {row["label"]: row for row in rules.table(markdown, "Runner images")}
    actions = {row["action"]: row for row in rules.table(markdown, "Actions")}
    tool_rows = markdown.split("\n## Release and test tools\n", 1)[1]
    zig = re.search(r"^\| ziglang \| PyPI \| ziglang \| ([^ |]+) \|", tool_rows, re.M)
    zig_version = zig.group(1) if zig else None
    failures = []
    workflows = source / ".github" / "workflows"
    docs = {}
    for name in ("ci.yml", "release.yml"):
        text = (workflows / name).read_text(encoding="utf-8")
        docs[name] = rules.check_workflow(failures, name, text, images, actions)
    check_release(failures, docs["release.yml"], zig_version)
    check_ci(failures, docs["ci.yml"])
    check_rules_bite(failures, docs["release.yml"], zig_version, docs["ci.yml"])
    concurrency = docs["ci.yml"].get("concurrency") or {}
    if concurrency.get("cancel-in-progress") != "${{ github.event_name == 'pull_request' }}":
        failures.append("ci.yml: superseded runs are not cancelled for pull requests only")
    check_dependabot(failures, rules.yaml.safe_load(
        (source / ".github" / "dependabot.yml").read_text(encoding="utf-8")))
    lint = subprocess.run([sys.executable, str(HERE / "lint_workflows.py"), str(tools),
                           "--project", str(source)])
    if lint.returncode != 0:
        failures.append("the linters find faults (above)")
    return report(failures, "tarnwick's own workflows hold to the rules and the linters")


if __name__ == "__main__":
    sys.exit(main(sys.argv))
