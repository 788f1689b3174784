#!/usr/bin/env python3
"""Checks the workflows of a project scaffolded by the tarnwick under test, with the pypi
switch on and off, against their templates: the five pypi sections of the release workflow
and what cutting them leaves, blank-line layout, surviving GitHub expressions, the jobs and
steps of both renderings, and that the deploy key written by the Homebrew step loads in
OpenSSH even when the secret lost its final newline.

Usage: check_release.py TEMPLATES_DIR TARNWICK
"""
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

try:
    import yaml
except ImportError:  # Debian package python3-yaml
    yaml = None

HERE = pathlib.Path(__file__).resolve().parent
sys.dont_write_bytecode = True  # keep the source tree free of __pycache__
sys.path.insert(0, str(HERE))
from generated import scaffold, workflow  # noqa: E402

SKIP = 77
OPEN_MARKER = "{{#pypi}}"
CLOSE_MARKER = "{{/pypi}}"

JOBS_ON = ["test", "build", "sdist", "publish-crates", "publish-pypi", "github-release",
           "attest", "update-homebrew"]
BUILD_STEPS_ON = [None, None, "Build wheel", "Take the binary from the wheel",
                  "Install cargo-zigbuild", "Build binary", "Verify binary", "Check the glibc floor",
                  "Create release archive", "Upload wheel", "Upload release archives"]
PYPI_BUILD_STEPS = ("Build wheel", "Take the binary from the wheel", "Upload wheel")
INPUTS_ON = ["dry_run", "skip_crates_io", "skip_pypi", "skip_github_release", "skip_homebrew"]
RUNNERS = [("ubuntu-24.04", "x86_64-unknown-linux-gnu"),
           ("ubuntu-24.04-arm", "aarch64-unknown-linux-gnu"),
           ("macos-15", "aarch64-apple-darwin"), ("macos-15", "x86_64-apple-darwin")]
PYPI_ONLY = ["skip_pypi", "PYPI_API_TOKEN", "maturin", "wheel", "sdist", "publish-pypi", "PyPI"]
# What each section must hold, in file order: a line that identifies it.
SECTION_KEYS = ["      skip_pypi:\n", "      - name: Build wheel\n", "      - name: Upload wheel\n",
                "  sdist:\n", "  publish-pypi:\n"]


class Checks:
    def __init__(self):
        self.failures = []

    def expect(self, condition, message):
        if not condition:
            self.failures.append(message)


def sections_of(template):
    """The lines between each pair of markers; markers must stand alone and alternate."""
    sections, current = [], None
    for number, line in enumerate(template.splitlines(keepends=True), 1):
        if line == OPEN_MARKER + "\n":
            if current is not None:
                raise ValueError(f"line {number}: section opened twice")
            current = []
        elif line == CLOSE_MARKER + "\n":
            if current is None:
                raise ValueError(f"line {number}: section closed while none is open")
            sections.append(current)
            current = None
        elif OPEN_MARKER in line or CLOSE_MARKER in line or "pypi}}" in line:
            raise ValueError(f"line {number}: a marker that does not stand alone: {line!r}")
        elif current is not None:
            current.append(line)
    if current is not None:
        raise ValueError("a section is never closed")
    return sections


def check_layout(c, label, text):
    c.expect(text.endswith("\n") and not text.endswith("\n\n"),
             f"{label}: must end with exactly one newline")
    c.expect("\n\n\n" not in text, f"{label}: has two blank lines in a row")
    c.expect("\r" not in text and "\t" not in text, f"{label}: has a CR or a tab")
    for number, line in enumerate(text.splitlines(), 1):
        c.expect(line == line.rstrip(), f"{label}:{number}: trailing white space")
    # Only GitHub expressions may keep double braces once the placeholders are filled.
    leftovers = [m.start() for m in re.finditer(r"\{\{", text) if text[m.start() - 1] != "$"]
    c.expect(not leftovers, f"{label}: unreplaced braces at offsets {leftovers}")


def step_names(job):
    return [step.get("name") for step in job["steps"]]


def check_release(c, template, on, off):
    """template: release.yml.tmpl; on, off: release.yml as scaffolded with pypi on and off."""
    try:
        sections = sections_of(template)
    except ValueError as error:
        c.expect(False, f"release.yml.tmpl: {error}")
        return None
    c.expect(len(sections) == 5, f"release.yml.tmpl: {len(sections)} pypi sections, not 5")
    for index, (section, key) in enumerate(zip(sections, SECTION_KEYS), 1):
        c.expect(key in section, f"section {index} does not hold {key.strip()!r}")
    # Inputs are not separated by blank lines; steps and jobs are, so those sections open with one.
    for index, section in enumerate(sections[1:], 2):
        c.expect(section[0] == "\n" and section[1] != "\n",
                 f"section {index} must begin with exactly one blank line")
    c.expect(sections[0][0] != "\n", "section 1 (an input) must not begin with a blank line")

    check_layout(c, "release.yml (pypi on)", on)
    check_layout(c, "release.yml (pypi off)", off)

    # The pypi-off file is the pypi-on file with each section's block taken out, in order.
    # The sections hold no placeholders, so their template lines are their output lines.
    remainder, position = on, 0
    for section in sections:
        block = "".join(section)
        found = remainder.find(block, position)
        c.expect(found >= 0, "a section's lines are not found in the pypi-on file")
        if found >= 0:
            remainder = remainder[:found] + remainder[found + len(block):]
            position = found
    c.expect(off == remainder, "pypi off is not the pypi-on text minus the section lines")
    for word in PYPI_ONLY:
        c.expect(word not in off, f"release.yml (pypi off) still mentions {word}")

    header = on.split("\nname: Release\n")[0]
    for text in ("tarnwick secrets kestrow/demo-tool", "--dry-run", "gh run rerun <run-id> --failed"):
        c.expect(text in header, f"release.yml head comment lacks {text!r}")

    doc_on, doc_off = yaml.safe_load(on), yaml.safe_load(off)
    c.expect(list(doc_on["jobs"]) == JOBS_ON, f"jobs (pypi on): {list(doc_on['jobs'])}")
    jobs_off = [j for j in JOBS_ON if j not in ("sdist", "publish-pypi")]
    c.expect(list(doc_off["jobs"]) == jobs_off, f"jobs (pypi off): {list(doc_off['jobs'])}")
    inputs = doc_on[True]["workflow_dispatch"]["inputs"]  # YAML 1.1 reads the key "on" as True
    c.expect(list(inputs) == INPUTS_ON, f"inputs: {list(inputs)}")
    c.expect(list(doc_off[True]["workflow_dispatch"]["inputs"]) ==
             [i for i in INPUTS_ON if i != "skip_pypi"], "inputs (pypi off)")
    c.expect(step_names(doc_on["jobs"]["build"]) == BUILD_STEPS_ON,
             f"build steps: {step_names(doc_on['jobs']['build'])}")
    c.expect(step_names(doc_off["jobs"]["build"]) ==
             [s for s in BUILD_STEPS_ON if s not in PYPI_BUILD_STEPS],
             f"build steps (pypi off): {step_names(doc_off['jobs']['build'])}")
    matrix = doc_on["jobs"]["build"]["strategy"]["matrix"]["include"]
    c.expect([(m.get("os"), m.get("target")) for m in matrix] == RUNNERS,
             f"build matrix: {matrix}")
    # Expressions reach the output unchanged, and the default tap is filled in.
    for expression in ("${{ matrix.target }}", "${{ github.ref_name }}",
                       "${{ secrets.GITHUB_TOKEN }}", "${{ steps.hashes.outputs.x86_64_apple_darwin }}",
                       "${{ vars.HOMEBREW_TAP || 'kestrow/homebrew-tap' }}"):
        c.expect(expression in on, f"release.yml lacks {expression}")
    return doc_on


ATTEST_PERMISSIONS = {"contents": "read", "id-token": "write", "attestations": "write",
                      "artifact-metadata": "write"}


def check_permissions(c, doc):
    """Write access and the token belong to the job that creates the GitHub release alone; an
    identity token and attestations to the job that attests alone."""
    c.expect(doc.get("permissions") == {"contents": "read"},
             f"release.yml top-level permissions: {doc.get('permissions')}")
    c.expect("GITHUB_TOKEN" not in doc.get("env", {}), "release.yml gives GITHUB_TOKEN to every job")
    for job_id, job in doc["jobs"].items():
        writes = job_id == "github-release"
        want = {"contents": "write"} if writes else ATTEST_PERMISSIONS if job_id == "attest" else None
        c.expect(job.get("permissions") == want, f"job {job_id} permissions: {job.get('permissions')}")
        has_token = "secrets.GITHUB_TOKEN" in yaml.safe_dump(job)
        c.expect(has_token == writes, f"job {job_id} {'lacks' if writes else 'has'} GITHUB_TOKEN")


def tag_check_exit(script, home, ref_type, ref_name, dry_run, version):
    (home / "Cargo.toml").write_text(
        f'[package]\nname = "demo"\nversion = "{version}"\n\n[dependencies]\n'
        'serde = { version = "1" }\n')
    env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "REF_TYPE": ref_type,
           "REF_NAME": ref_name, "DRY_RUN": dry_run}
    return subprocess.run(["bash", "-e", "-c", script], env=env, cwd=home,
                          capture_output=True).returncode


def check_tag_step(c, doc):
    """The release refuses a tag that disagrees with Cargo.toml, and a real publish from a
    branch, in the test job's first step after the checkout."""
    steps = doc["jobs"]["test"]["steps"]
    c.expect(steps[1].get("name") == "Check the tag against Cargo.toml",
             f"test job step 2: {steps[1].get('name')}")
    script = steps[1].get("run")
    if script is None:
        return
    cases = [  # ref type, ref name, dry_run input, manifest version, exit status wanted
        ("tag", "v0.1.0", "", "0.1.0", 0),
        ("tag", "v0.2.0", "", "0.1.0", 1),
        ("tag", "v0.1.0", "", "0.1.0-rc.1", 1),
        ("tag", "0.1.0", "", "0.1.0", 0),
        ("tag", "v1.2.3", "false", "1.2.3", 0),
        ("branch", "main", "false", "0.1.0", 1),
        ("branch", "main", "true", "0.1.0", 0),
    ]
    with tempfile.TemporaryDirectory() as tmp:
        for ref_type, ref_name, dry_run, version, want in cases:
            got = tag_check_exit(script, pathlib.Path(tmp), ref_type, ref_name, dry_run, version)
            c.expect(got == want, f"tag check {ref_type} {ref_name} dry_run={dry_run!r} "
                                  f"version {version}: exit {got}, want {want}")


def check_ci(c, template, on, off):
    """template: ci.yml.tmpl; on, off: ci.yml as scaffolded with pypi on and off."""
    c.expect("{{#" not in template and "{{/" not in template, "ci.yml.tmpl has a section")
    c.expect(on == template and off == template,
             "ci.yml.tmpl must contain no placeholders or sections")
    ci = off
    check_layout(c, "ci.yml", ci)
    doc = yaml.safe_load(ci)
    c.expect(list(doc["jobs"]) == ["lint", "test", "msrv", "all-checks-passed"], "ci.yml jobs")
    test_steps = [step.get("name") for step in doc["jobs"]["test"]["steps"]]
    c.expect("Verify Cargo.lock is committed and up to date" in test_steps and
             test_steps.index("Verify Cargo.lock is committed and up to date") <
             test_steps.index("Run tests"), f"ci.yml test steps: {test_steps}")
    c.expect("cargo fetch --locked" in ci, "ci.yml does not check the lock file with --locked")
    final = doc["jobs"]["all-checks-passed"]
    c.expect(final.get("if") == "always()" and final.get("needs") == ["lint", "test", "msrv"],
             "all-checks-passed must run always() after lint, test and msrv")


def key_writing_lines(doc):
    """The lines of the Homebrew step that install the deploy key file (not the host scan)."""
    steps = doc["jobs"]["update-homebrew"]["steps"]
    step = next(s for s in steps if s.get("name") == "Update Homebrew formula")
    assert step["env"]["HOMEBREW_TAP_DEPLOY_KEY"] == "${{ secrets.HOMEBREW_TAP_DEPLOY_KEY }}"
    return [line for line in step["run"].splitlines()
            if "~/.ssh" in line and "known_hosts" not in line]


def loads(script, secret, home):
    """Runs the key-writing shell with the secret as the step would get it; True when
    OpenSSH can derive the public key from the written file."""
    env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": str(home),
           "HOMEBREW_TAP_DEPLOY_KEY": secret}
    subprocess.run(["bash", "-e", "-c", script], env=env, check=True)
    result = subprocess.run(["ssh-keygen", "-y", "-f", str(home / ".ssh" / "id_ed25519")],
                            env=env, capture_output=True, text=True)
    return result.returncode == 0, result.stdout.split()[:2]


def check_deploy_key(c, doc):
    if shutil.which("ssh-keygen") is None:
        print("SKIP: ssh-keygen is not installed; the deploy-key check did not run")
        return False
    lines = key_writing_lines(doc)
    c.expect(len(lines) == 3, f"key-writing lines: {lines}")
    with tempfile.TemporaryDirectory() as tmp:
        tmp = pathlib.Path(tmp)
        subprocess.run(["ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-C", "tap",
                        "-f", str(tmp / "key")], check=True, stdout=subprocess.DEVNULL)
        private = (tmp / "key").read_text()
        public = (tmp / "key.pub").read_text().split()[:2]
        stripped = private.rstrip("\n")
        # Control: without its final newline the key really is refused, so the check bites.
        ok, _ = loads("mkdir -p ~/.ssh && printf '%s' \"$HOMEBREW_TAP_DEPLOY_KEY\" > "
                      "~/.ssh/id_ed25519 && chmod 600 ~/.ssh/id_ed25519", stripped, tmp / "control")
        c.expect(not ok, "control: ssh-keygen accepted a key without its final newline")
        for label, secret in (("stripped", stripped), ("with newline", private)):
            home = tmp / label.replace(" ", "-")
            ok, derived = loads("\n".join(lines), secret, home)
            c.expect(ok and derived == public,
                     f"deploy key ({label} secret) does not load with ssh-keygen -y")
    return True


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    if yaml is None:
        print("SKIP: the Python YAML module (Debian package python3-yaml) is not installed")
        return SKIP
    templates = pathlib.Path(argv[1]) / ".github" / "workflows"
    with tempfile.TemporaryDirectory() as tmp:
        pypi_on = scaffold(argv[2], pathlib.Path(tmp) / "on", True)
        pypi_off = scaffold(argv[2], pathlib.Path(tmp) / "off", False)
        ci = [workflow(project, "ci.yml") for project in (pypi_on, pypi_off)]
        release = [workflow(project, "release.yml") for project in (pypi_on, pypi_off)]
    c = Checks()
    check_ci(c, (templates / "ci.yml.tmpl").read_text(encoding="utf-8"), *ci)
    doc = check_release(c, (templates / "release.yml.tmpl").read_text(encoding="utf-8"),
                        *release)
    if doc is not None:
        check_permissions(c, doc)
        check_tag_step(c, doc)
    ran_key_check = doc is not None and check_deploy_key(c, doc)
    for failure in c.failures:
        print(f"FAIL {failure}")
    if c.failures:
        return 1
    print("workflow templates ok")
    return 0 if ran_key_check else SKIP


if __name__ == "__main__":
    sys.exit(main(sys.argv))
