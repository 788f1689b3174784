#!/usr/bin/env python3
"""Holds the workflows of a project scaffolded by the tarnwick under test (pypi on and off) to
the dated platform table in docs/platform.md and to the hardening rules: runner images that
still run and whose support does not end within the horizon, actions pinned to a full SHA whose
tag, SHA and runtime are the table's, pin comments that name a release and never a moving
branch or tag, one exact Rust toolchain for every job and for maturin, exact tool versions,
checkouts without persisted credentials, no expression inside a script, every inline Python
isolated (python3 -I), a timeout on every job, read-only default permissions, cargo caches in
CI, superseded runs cancelled for pull requests only, a release that is never cancelled halfway,
and Dependabot keeping both ecosystems current, grouped and after a cooldown.

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
from generated import report, scaffold  # noqa: E402

SKIP = 77
USES = re.compile(r"^\s*(?:-\s+)?uses:\s*(\S+?)@(\S+)(?:\s+#\s*(\S+))?\s*$")
RELEASE_TAG = re.compile(r"v\d+\.\d+\.\d+")
EXACT_VERSION = re.compile(r"\d+\.\d+\.\d+")
# Actions that publish no release tags: the pin is a commit of their default branch.
BRANCH_PINNED = {"dtolnay/rust-toolchain": "master"}
HORIZON_MONTHS = 24
TOOLCHAIN = "${{ env.RUST_TOOLCHAIN }}"


def pin_comment_problem(action, comment):
    """Why a pin's comment is refused, or None: it must name a release tag vX.Y.Z (a moving
    name such as stable, nextest, v2 or 1.98.0 is not one), or the default branch for an
    action that publishes no tags."""
    if action in BRANCH_PINNED:
        want = BRANCH_PINNED[action]
        return None if comment == want else f"names {comment!r}, not its pinned branch {want!r}"
    if comment is None:
        return "has no tag comment"
    if not RELEASE_TAG.fullmatch(comment):
        return f"names {comment!r}, which is not a release tag vX.Y.Z"
    return None


def months(text):
    """YYYY-MM or YYYY-MM-DD as a month count."""
    year, month = text.split("-")[:2]
    return int(year) * 12 + int(month) - 1


def within_horizon(row):
    """True when the image's support ends within HORIZON_MONTHS of the row's date."""
    return bool(row.get("until")) and months(row["until"]) < months(row["date"]) + HORIZON_MONTHS


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
        elif within_horizon(images[runs_on]):
            fail(f"job {job_id} runs on {runs_on}, supported only until {images[runs_on]['until']}")

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
        elif pin_comment_problem(action, comment):
            fail(f"line {number}: the pin of {action} {pin_comment_problem(action, comment)}")
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
            for call in re.findall(r"\bpython3\b[^\n]*", str(step.get("run", ""))):
                if not call.startswith("python3 -I "):
                    fail(f"{where}: python3 without -I imports from the checkout: {call}")
    return doc


def toolchain_uses(doc):
    """(job, step) of every step that installs a Rust toolchain, maturin-action included."""
    return [(job_id, step) for job_id, job in doc["jobs"].items() for step in job.get("steps", [])
            if str(step.get("uses", "")).startswith(("dtolnay/rust-toolchain@",
                                                     "PyO3/maturin-action@"))]


def check_toolchain(failures, label, doc, versions):
    """One exact toolchain, the table's, given to every toolchain step; the msrv job alone
    installs the declared minimum. nextest and maturin at exact versions."""
    fail = lambda message: failures.append(f"{label}: {message}")  # noqa: E731
    pinned = (doc.get("env") or {}).get("RUST_TOOLCHAIN")
    if pinned != versions.get("rust"):
        fail(f"RUST_TOOLCHAIN is {pinned!r}, not the table's rust {versions.get('rust')!r}")
    if not EXACT_VERSION.fullmatch(str(pinned)):
        fail(f"RUST_TOOLCHAIN {pinned!r} is not an exact release")
    for job_id, step in toolchain_uses(doc):
        given = step.get("with") or {}
        if step["uses"].startswith("PyO3/maturin-action@"):
            if given.get("rust-toolchain") != TOOLCHAIN:
                fail(f"job {job_id}: maturin-action's rust-toolchain is {given.get('rust-toolchain')!r}")
            if not RELEASE_TAG.fullmatch(str(given.get("maturin-version"))):
                fail(f"job {job_id}: maturin-version {given.get('maturin-version')!r} is not exact")
            continue
        want = "${{ steps.msrv.outputs.version }}" if job_id == "msrv" else TOOLCHAIN
        if given.get("toolchain") != want:
            fail(f"job {job_id}: rust-toolchain's toolchain is {given.get('toolchain')!r}, not {want}")
    for job_id, job in doc["jobs"].items():
        for step in job.get("steps", []):
            if str(step.get("uses", "")).startswith("taiki-e/install-action@"):
                tool = (step.get("with") or {}).get("tool")
                if tool != f"cargo-nextest@{versions.get('cargo-nextest')}":
                    fail(f"job {job_id}: install-action installs {tool!r}")
            script = str(step.get("run", ""))
            for spec in re.findall(r"\b(maturin|cargo-zigbuild|ziglang)(@|==|>=|<|\s)", script):
                if spec[1] not in ("@", "=="):
                    fail(f"job {job_id}: {spec[0]} without an exact version")


def check_ci_rules(failures, doc):
    """Superseded runs are cancelled for pull requests only, and lint and test cache cargo's
    registry and target directory under a key of the toolchain and Cargo.lock."""
    concurrency = doc.get("concurrency") or {}
    if concurrency.get("cancel-in-progress") != "${{ github.event_name == 'pull_request' }}":
        failures.append(f"ci.yml: cancel-in-progress is {concurrency.get('cancel-in-progress')!r}, "
                        "not for pull requests only")
    for job_id in ("lint", "test"):
        caches = [s for s in doc["jobs"][job_id]["steps"]
                  if str(s.get("uses", "")).startswith("actions/cache@")]
        given = (caches or [{}])[0].get("with") or {}
        paths = str(given.get("path", "")).split()
        key = str(given.get("key", ""))
        if not ({"~/.cargo/registry/index", "~/.cargo/registry/cache", "target"} <= set(paths)
                and "hashFiles('Cargo.lock')" in key and "env.RUST_TOOLCHAIN" in key):
            failures.append(f"ci.yml: job {job_id} caches {paths} under {key!r}")


def check_crates_publishing(failures, doc):
    """The crate is verified in a step without the registry token, then uploaded with
    --no-verify: no dependency's build script ever runs beside the token."""
    job = doc["jobs"]["publish-crates"]
    if "CARGO_REGISTRY_TOKEN" in str(job.get("env", {})) or "CARGO_REGISTRY_TOKEN" in str(doc.get("env", {})):
        failures.append("release.yml: CARGO_REGISTRY_TOKEN reaches more than one step")
    steps = job["steps"]
    with_token = [i for i, s in enumerate(steps) if "CARGO_REGISTRY_TOKEN" in (s.get("env") or {})]
    verify = [i for i, s in enumerate(steps) if "cargo package --locked" in str(s.get("run", ""))
              and i not in with_token]
    if len(with_token) != 1 or not verify or verify[0] > with_token[0]:
        failures.append(f"release.yml: token steps {with_token}, token-less verify steps {verify}")
        return
    script = steps[with_token[0]]["run"]
    cargo_calls = re.findall(r"\bcargo (?:publish|package|build)[^\n]*", script)
    if cargo_calls != ["cargo publish --locked --no-verify"]:
        failures.append(f"release.yml: the step with the token runs {cargo_calls}")


def check_attestations(failures, doc):
    """Provenance: one job alone may mint an identity token and write attestations."""
    powers = {"id-token", "attestations", "artifact-metadata"}
    for job_id, job in doc["jobs"].items():
        permissions = job.get("permissions") or {}
        attests = any(str(s.get("uses", "")).startswith("actions/attest@") for s in job["steps"])
        granted = {k for k, v in permissions.items() if k in powers and v == "write"}
        if attests and (granted != powers or permissions.get("contents") != "read"):
            failures.append(f"release.yml: job {job_id} attests with permissions {permissions}")
        if granted and not attests:
            failures.append(f"release.yml: job {job_id} has {sorted(granted)} without attesting")
    if not any(str(s.get("uses", "")).startswith("actions/attest@")
               for job in doc["jobs"].values() for s in job["steps"]):
        failures.append("release.yml: no job attests the release files")


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
            continue
        groups = list((update.get("groups") or {}).values())
        if len(groups) != 1 or groups[0].get("patterns") != ["*"]:
            failures.append(f"dependabot.yml: {ecosystem} updates are not one group: {groups}")
        days = (update.get("cooldown") or {}).get("default-days")
        if not isinstance(days, int) or days < 1:
            failures.append(f"dependabot.yml: {ecosystem} has no cooldown ({days!r})")
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
    for intel in ("macos-15-intel", "macos-26-intel"):
        if not within_horizon(images.get(intel, {})):
            failures.append(f"platform table: {intel} is not listed as ending within the horizon")
    for row in actions.values():
        problem = pin_comment_problem(row["action"], row["tag"])
        if problem:
            failures.append(f"platform table: {row['action']} {problem}")


def check_rules_bite(failures):
    """The rules themselves refuse what they must: each case is (action, comment, refused)."""
    cases = [("actions/checkout", "v7.0.1", False), ("actions/checkout", "v7", True),
             ("actions/checkout", "main", True), ("actions/checkout", None, True),
             ("taiki-e/install-action", "nextest", True), ("taiki-e/install-action", "v2", True),
             ("taiki-e/install-action", "v2.86.5", False),
             ("dtolnay/rust-toolchain", "stable", True), ("dtolnay/rust-toolchain", "1.98.0", True),
             ("dtolnay/rust-toolchain", "v1.0.0", True), ("dtolnay/rust-toolchain", "master", False)]
    for action, comment, refused in cases:
        if (pin_comment_problem(action, comment) is not None) != refused:
            failures.append(f"rule: the pin comment {comment!r} of {action} is "
                            f"{'accepted' if refused else 'refused'}")
    horizon = [({"date": "2026-12-07", "until": "2027-08"}, True),
               ({"date": "2026-12-07", "until": "2028-11"}, True),
               ({"date": "2026-12-07", "until": "2028-12"}, False),
               ({"date": "2026-12-07", "until": ""}, False)]
    for row, inside in horizon:
        if within_horizon(row) != inside:
            failures.append(f"rule: horizon of {row} is not {inside}")


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
    versions = {row["tool"]: row["version"] for row in table(markdown, "Rust toolchain")}
    failures = []
    check_rules_bite(failures)
    check_table(failures, actions, images)
    with tempfile.TemporaryDirectory() as tmp:
        for pypi in (True, False):
            project = scaffold(argv[2], pathlib.Path(tmp) / str(pypi), pypi)
            workflows = project / ".github" / "workflows"
            suffix = " (pypi on)" if pypi else " (pypi off)"
            ci = check_workflow(failures, "ci.yml" + suffix,
                                (workflows / "ci.yml").read_text(encoding="utf-8"), images, actions)
            release = check_workflow(failures, "release.yml" + suffix,
                                     (workflows / "release.yml").read_text(encoding="utf-8"),
                                     images, actions)
            check_toolchain(failures, "ci.yml" + suffix, ci, versions)
            check_toolchain(failures, "release.yml" + suffix, release, versions)
            check_ci_rules(failures, ci)
            check_crates_publishing(failures, release)
            check_attestations(failures, release)
            if (project / "rust-toolchain.toml").exists() or (project / "rust-toolchain").exists():
                failures.append("the project pins its toolchain in a file as well as in the workflows")
            check_release_concurrency(failures, release)
            check_dependabot(failures, (project / ".github" / "dependabot.yml")
                             .read_text(encoding="utf-8"))
    return report(failures, "workflows hold to the platform table")


if __name__ == "__main__":
    sys.exit(main(sys.argv))
