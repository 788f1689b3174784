#!/usr/bin/env python3
"""Runs the scripts of the generated release workflow's publishing steps, as scaffolded by the
tarnwick under test, against stand-ins for curl, gh (tests/fakes/gh with its store), git and
objdump: every path of each step, the skips that make a re-run safe among them.

  - "Create release archive": byte-identical archives from one commit, whatever the files' times;
    a branch with a slash packs a valid name; a module planted in the checkout is not imported;
    the dual licence packs both its texts.
  - "Check the glibc floor": refuses a binary that needs a glibc newer than 2.17.
  - "Publish to crates.io": a version the sparse index lists is skipped only when the crate is
    the project's; the upload never verifies (the token-less step before it did).
  - "Create Release": draft, upload, publish; pre-releases and build metadata; Latest only for
    the highest version; a re-run with other assets fails and changes nothing; a read-only token.
  - "Update Homebrew formula": the formula as Homebrew's audit wants it (each description checked
    against Homebrew's own rules, ported to homebrew_desc_audit.rb); pre-releases, a newer formula
    in the tap, and an identical one leave the tap alone; GitHub's published host keys; a push
    refused because the tap moved is retried on top of it; the dual licence's `license any_of`
    and both its texts installed.
  - "Check the tag against Cargo.toml": the message says how to release the tag's version.

Usage: check_publishing.py TARNWICK
"""
import gzip
import os
import pathlib
import shutil
import subprocess
import sys
import tarfile
import tempfile

try:
    import yaml
except ImportError:  # Debian package python3-yaml
    yaml = None

HERE = pathlib.Path(__file__).resolve().parent
FAKES = HERE.parent / "fakes"
sys.dont_write_bytecode = True  # keep the source tree free of __pycache__
sys.path.insert(0, str(HERE))
from generated import NAME, OWNER, report, scaffold, workflow  # noqa: E402

SKIP = 77
REPO = f"{OWNER}/{NAME}"
# docs.github.com, "GitHub's SSH key fingerprints": ed25519, ECDSA, RSA.
GITHUB_HOST_KEYS = ["SHA256:+DiY3wvvV6TuJJhbpZisF/zLDA0zPMSvHdkr4UvCOqU",
                    "SHA256:p2QAMXNIC1TJYWeIOttrVc98/R1BUFWu3/LiyKgUfQM",
                    "SHA256:uNiVztksCsDhcc0u9e8BujQXVUpKZIDTMczCvj3tD2s"]
TARGETS = ["x86_64-apple-darwin", "aarch64-apple-darwin", "x86_64-unknown-linux-gnu",
           "aarch64-unknown-linux-gnu"]
failures = []


def expect(condition, message):
    if not condition:
        failures.append(message)


def step(doc, job, name):
    return next(s for s in doc["jobs"][job]["steps"] if s.get("name") == name)


def run(script, cwd, env, fakes=None):
    """Runs SCRIPT in bash -e as the step would; FAKES (name -> bash body) come first on PATH
    and log each call to cwd/../calls. Returns (exit status, stdout + stderr, calls)."""
    cwd = pathlib.Path(cwd)
    bin_dir, calls = cwd.parent / "bin", cwd.parent / "calls"
    bin_dir.mkdir(exist_ok=True)
    calls.write_text("")
    for name, body in (fakes or {}).items():
        (bin_dir / name).write_text(f'#!/bin/bash\necho "{name} $*" >> "{calls}"\n{body}\n')
        (bin_dir / name).chmod(0o755)
    full_env = {"PATH": f"{bin_dir}:{FAKES}:{os.environ.get('PATH', '/usr/bin:/bin')}",
                "HOME": str(cwd.parent / "home"), "LANG": "C.UTF-8", **env}
    result = subprocess.run(["bash", "--noprofile", "--norc", "-eo", "pipefail", "-c", script],
                            cwd=cwd, env=full_env, capture_output=True, text=True)
    return result.returncode, result.stdout + result.stderr, calls.read_text()


def fresh(tmp, label):
    ws = pathlib.Path(tmp) / label / "ws"
    ws.mkdir(parents=True)
    return ws


def check_archive(doc, tmp, licenses=("LICENSE",)):
    script = step(doc, "build", "Create release archive")["run"]
    ws = fresh(tmp, "archive")
    target = "x86_64-unknown-linux-gnu"
    (ws / f"target/{target}/release").mkdir(parents=True)
    (ws / f"target/{target}/release/{NAME}").write_bytes(b"\x7fELF binary")
    for text in licenses:
        (ws / text).write_text("License\n")
    (ws / "README.md").write_text("# demo\n")
    git = ["git", "-C", str(ws), "-c", "user.name=T", "-c", "user.email=t@example.com"]
    subprocess.run(git[:3] + ["init", "-q"], check=True)
    subprocess.run(git + ["commit", "-q", "--allow-empty", "-m", "c", "--date=@1700000000"],
                   env=dict(os.environ, GIT_COMMITTER_DATE="@1700000000"), check=True)
    archive = ws / f"{NAME}-v0.1.0-{target}.tar.gz"
    env = {"TARGET": target, "VERSION": "v0.1.0"}
    made = []
    for mtime in (1000000000, 1800000000):  # the files' own times must not matter
        for f in (*licenses, "README.md", f"target/{target}/release/{NAME}"):
            os.utime(ws / f, (mtime, mtime))
        status, out, _ = run(script, ws, env)
        expect(status == 0, f"archive: exit {status}: {out}")
        if status != 0:
            return
        made.append(archive.read_bytes())
    expect(made[0] == made[1], "archive: two runs on one commit give different bytes")
    # A manual run from a branch: the slash never reaches the archive's name, and a module of the
    # checkout named like one the script imports is never imported.
    (ws / "gzip.py").write_text("open('PLANTED-MARKER', 'w').close()\n")
    status, out, _ = run(script, ws, {"TARGET": target, "VERSION": "feature/x"})
    expect(status == 0 and (ws / f"{NAME}-feature-x-{target}.tar.gz").is_file(),
           f"archive: from the branch feature/x (exit {status}): {out}")
    expect(not (ws / "PLANTED-MARKER").exists(), "archive: the checkout's gzip.py was imported")
    with tarfile.open(archive) as tar:
        members = tar.getmembers()
        expect([m.name for m in members] == [*licenses, "README.md", NAME],
               f"archive members: {[m.name for m in members]}")
        expect(all(m.mtime == 1700000000 and m.uid == 0 and m.gid == 0 and m.uname == ""
                   for m in members), "archive: times are not the commit's or owners not 0")
        expect(members[-1].mode == 0o755, f"archive: binary mode {oct(members[-1].mode)}")
    header = made[0][:10]
    expect(header[4:8] == b"\0\0\0\0" and not header[3] & 0x08,
           "archive: the gzip header holds a time or a file name")
    digest = subprocess.run(["sha256sum", archive.name], cwd=ws, capture_output=True,
                            text=True).stdout
    expect((ws / (archive.name + ".sha256")).read_text() == digest,
           "archive: the .sha256 line is not sha256sum's")


def check_glibc_floor(doc, tmp):
    script = step(doc, "build", "Check the glibc floor")["run"]
    cases = [  # the versions objdump reports, exit status wanted
        (["GLIBC_2.2.5", "GLIBC_2.17"], 0),
        (["GLIBC_2.3", "GLIBC_2.34"], 1),
        (["GLIBC_2.18"], 1),
        ([], 0),
    ]
    for index, (versions, want) in enumerate(cases):
        ws = fresh(tmp, f"glibc{index}")
        lines = "".join(f"echo '0000 DF *UND* 0000 ({v}) sym{n}'\n" for n, v in enumerate(versions))
        status, out, _ = run(script, ws, {"TARGET": "x86_64-unknown-linux-gnu"},
                             {"objdump": lines})
        expect(status == want, f"glibc floor {versions}: exit {status}, want {want}: {out}")


def check_crates(doc, tmp):
    script = step(doc, "publish-crates", "Publish to crates.io")["run"]
    index_line = '{"name":"%s","vers":"%s","deps":[],"cksum":"00","features":{},"yanked":false}'
    ours = "kestrow (Kes Trow)"
    cases = [  # label, index lines (None: curl fails), owners, exit wanted, whether it uploads
        ("listed and ours", ["0.0.9", "0.1.0"], ours, 0, False),
        ("listed, a team of ours", ["0.1.0"], "github:kestrow:release (Release)", 0, False),
        ("listed, someone else's", ["0.1.0"], "mallory (M)\ngithub:kestrowx:all (X)", 1, False),
        ("not listed", ["0.0.9"], ours, 0, True),
        ("a new crate", None, ours, 0, True),
    ]
    for label, versions, owners, want, uploads in cases:
        ws = fresh(tmp, "crates-" + label.replace(" ", "-").replace(",", "").replace("'", ""))
        body = ("exit 22" if versions is None else
                "printf '%s\\n' " + " ".join(f"'{index_line % (NAME, v)}'" for v in versions))
        fakes = {"curl": body,
                 "cargo": f'[[ "$1" == owner ]] && printf "{owners}\\n"; exit 0'}
        status, out, calls = run(script, ws, {"REF_NAME": "v0.1.0", "OWNER": OWNER,
                                              "GITHUB_REPOSITORY": REPO}, fakes)
        expect(status == want, f"crates {label}: exit {status}, want {want}: {out}")
        expect(("cargo publish --locked --no-verify" in calls) == uploads,
               f"crates {label}: cargo calls {calls!r}")
        expect("cargo publish --locked\n" not in calls, f"crates {label}: an upload that verifies")
        expect(f"https://index.crates.io/de/mo/{NAME}" in calls and
               f"({'https://github.com/' + REPO})" in calls,
               f"crates {label}: curl is not asked the sparse index with a named User-Agent: {calls!r}")
        if want == 1:
            expect("mallory" in out and "CRATES_IO_OWNER" in out, f"crates {label}: message {out}")
    verify = step(doc, "publish-crates", "Verify the crate package")
    expect("CARGO_REGISTRY_TOKEN" not in str(verify) and verify["run"] == "cargo package --locked",
           f"crates: the verifying step {verify}")


def check_github_release(doc, tmp):
    job = doc["jobs"]["github-release"]
    script = step(doc, "github-release", "Create Release")["run"]
    expect(job.get("env", {}).get("TAG") == "${{ github.ref_name }}", "github-release: TAG env")
    store = pathlib.Path(tmp) / "gh-store"
    releases = store / "releases" / REPO.replace("/", "%")

    def release(label, tag, extra_env=None, change=b""):
        ws = fresh(tmp, label)
        for target in TARGETS[:2]:
            d = ws / "artifacts" / f"release-{target}"
            d.mkdir(parents=True)
            archive = f"{NAME}-{tag}-{target}.tar.gz"
            (d / archive).write_bytes(b"archive " + target.encode() + change)
            digest = subprocess.run(["sha256sum", archive], cwd=d, capture_output=True,
                                    text=True).stdout
            (d / (archive + ".sha256")).write_text(digest)
        env = {"TAG": tag, "GITHUB_REPOSITORY": REPO, "FAKE_GH_STORE": str(store),
               "FAKE_GH_LOG": str(ws.parent / "gh-log"), **(extra_env or {})}
        status, out, _ = run(script, ws, env)
        log = ws.parent / "gh-log"
        verbs = [(log / f).read_text().split("\n")[1] for f in sorted(os.listdir(log))
                 if f.endswith(".args")] if log.exists() else []
        return status, out, verbs

    def state(tag):
        d = releases / tag
        return ((d / "draft").read_text().strip(), (d / "prerelease").exists(),
                sorted(os.listdir(d / "assets")))

    def latest():
        f = store / "latest" / REPO.replace("/", "%")
        return f.read_text().strip() if f.exists() else None

    assets = sorted([f"{NAME}-v0.1.0-{t}.tar.gz{s}" for t in TARGETS[:2] for s in ("", ".sha256")]
                    + ["SHA256SUMS"])
    status, out, verbs = release("new", "v0.1.0")
    expect(status == 0 and verbs == ["view", "create", "upload", "list", "edit"],
           f"release: a new release ran {verbs} (exit {status}): {out}")
    expect(state("v0.1.0") == ("false", False, assets), f"release: {state('v0.1.0')}")
    expect(latest() == "v0.1.0", f"release: the first release is not Latest: {latest()}")

    status, out, verbs = release("again", "v0.1.0")
    expect(status == 0 and verbs == ["view", "download"] and "already published" in out,
           f"release: a re-run with the same assets ran {verbs} (exit {status}): {out}")

    published = {f: (releases / "v0.1.0" / "assets" / f).read_bytes() for f in assets}
    status, out, verbs = release("changed", "v0.1.0", change=b" rebuilt")
    expect(status == 1 and verbs == ["view", "download"],
           f"release: a re-run with other assets ran {verbs} (exit {status}): {out}")
    expect(f"{NAME}-v0.1.0-{TARGETS[1]}.tar.gz {NAME}-v0.1.0-{TARGETS[0]}.tar.gz." in out
           and "cut a new version" in out, f"release: the refusal does not name the assets: {out}")
    expect({f: (releases / "v0.1.0" / "assets" / f).read_bytes() for f in assets} == published,
           "release: a re-run with other assets changed the published release")
    sums = (releases / "v0.1.0" / "assets" / "SHA256SUMS").read_text()
    expect(all(line.endswith(".tar.gz") for line in sums.splitlines()) and len(sums.splitlines()) == 2
           and sums == "".join(sorted(sums.splitlines(keepends=True), key=lambda l: l.split()[1])),
           f"release: SHA256SUMS {sums!r}")

    (releases / "v0.3.0" / "assets").mkdir(parents=True)
    (releases / "v0.3.0" / "draft").write_text("true\n")
    status, out, verbs = release("draft", "v0.3.0")
    expect(status == 0 and verbs == ["view", "upload", "list", "edit"] and state("v0.3.0")[0] == "false",
           f"release: a draft left by an earlier run ran {verbs}: {state('v0.3.0')}")

    status, out, verbs = release("rc", "v0.2.0-rc.1")
    expect(status == 0 and state("v0.2.0-rc.1")[:2] == ("false", True),
           f"release: a pre-release tag gives {state('v0.2.0-rc.1')} (exit {status}): {out}")
    expect(latest() == "v0.3.0", f"release: after v0.3.0 and an rc, Latest is {latest()}")

    # A version released late, below the highest, is published but never Latest; a higher one
    # with build metadata is a release, not a pre-release, and is Latest.
    for label, tag, prerelease, want_latest in (("late", "v0.2.9", False, "v0.3.0"),
                                                ("build", "v1.0.0+build-7", False, "v1.0.0+build-7"),
                                                ("rc-build", "v1.1.0-rc.1+build-8", True, "v1.0.0+build-7"),
                                                ("below-build", "v0.9.0", False, "v1.0.0+build-7")):
        status, out, verbs = release(label, tag)
        expect(status == 0 and state(tag)[:2] == ("false", prerelease) and latest() == want_latest,
               f"release: {tag} gives {state(tag)[:2]}, Latest {latest()} (exit {status}): {out}")

    status, out, verbs = release("readonly", "v0.4.0", {"FAKE_GH_READ_ONLY": "1"})
    expect(status != 0 and not (releases / "v0.4.0").exists(),
           f"release: a read-only token did not fail (exit {status})")


def check_homebrew(doc, tmp, licensed='  license "MIT"', installed='prefix.install "LICENSE"'):
    """The formula step; with the LICENSED and INSTALLED lines of another licence, only its
    first release."""
    s = step(doc, "update-homebrew", "Update Homebrew formula")
    script, env_spec = s["run"], s["env"]
    expect(env_spec.get("TAP") == "${{ vars.HOMEBREW_TAP || '" + OWNER + "/homebrew-tap' }}",
           f"homebrew: TAP is {env_spec.get('TAP')}")
    tmp = pathlib.Path(tmp)
    tap = tmp / "tap.git"
    subprocess.run(["git", "init", "-q", "--bare", "-b", "main", str(tap)], check=True)
    # git with the tap's SSH address routed to the local bare repository; with a RACE command,
    # the first push runs it first: another release that reaches the tap in between.
    def git_fake(race=""):
        before_push = (f'if [[ "$1" == push && ! -e race-done ]]; then touch race-done; {race}; fi; '
                       if race else "")
        return (before_push + f'args=(); for a in "$@"; do [[ "$a" == "git@github.com:{OWNER}/'
                f'homebrew-tap.git" ]] && a={tap}; args+=("$a"); done; exec /usr/bin/git "${{args[@]}}"')

    def update(label, tag, description="Count widgets", race=""):
        ws = fresh(tmp, label)
        (ws / "Cargo.toml").write_text(f'[package]\nname = "{NAME}"\nversion = "0.1.0"\n'
                                       f'description = "{description}"\n', encoding="utf-8")
        # Run as `python3 -`, the formula writer would import this instead of the standard one.
        (ws / "tomllib.py").write_text("open('PLANTED-MARKER', 'w').close()\n")
        runner_temp = ws.parent / "runner-temp"
        runner_temp.mkdir()
        env = {"TAP": f"{OWNER}/homebrew-tap", "VERSION": tag, "FORMULA_CLASS": "DemoTool",
               "HOMEBREW_TAP_DEPLOY_KEY": "key", "GITHUB_REPOSITORY": REPO,
               "RUNNER_TEMP": str(runner_temp), "GIT_CONFIG_NOSYSTEM": "1",
               **{f"SHA_{t.upper().replace('-', '_')}": f"{n}" * 64 for n, t in enumerate(TARGETS)}}
        status, out, calls = run(script, ws, env, {"git": git_fake(race)})
        expect(not (ws / "PLANTED-MARKER").exists(), f"homebrew {label}: tomllib.py was imported")
        expect("ssh-keyscan" not in calls, f"homebrew {label}: the host key is learned on first use")
        formula = runner_temp / f"{NAME}.rb"
        return status, out, formula.read_text(encoding="utf-8") if formula.exists() else ""

    def race(subject, formula_version=None):
        """Commands that push SUBJECT to the tap from another clone (with a formula of
        FORMULA_VERSION when given)."""
        other = tmp / f"other-{subject.replace(' ', '-')}"
        change = (f"mkdir -p Formula && echo url https://x/releases/download/v{formula_version}/a"
                  f" > Formula/{NAME}.rb" if formula_version else "date >> README.md")
        return (f"/usr/bin/git clone -q {tap} {other} && (cd {other} && {change} && /usr/bin/git add -A"
                f" && /usr/bin/git -c user.name=o -c user.email=o@example.com commit -qm '{subject}'"
                f" && /usr/bin/git push -q origin HEAD:main)")

    def head():
        r = subprocess.run(["git", "-C", str(tap), "log", "-1", "--format=%s", "main"],
                           capture_output=True, text=True)
        return r.stdout.strip() if r.returncode == 0 else None

    status, out, formula = update("rc", "v0.2.0-rc.1")
    expect(status == 0 and head() is None and formula == "",
           f"homebrew: a pre-release touched the tap (exit {status}): {out}")

    status, out, formula = update("first", "v0.1.1")
    expect(status == 0 and head() == "Update demo-tool to v0.1.1",
           f"homebrew: the first formula was not pushed (exit {status}): {out}")
    expect("\n  version " not in formula and "generate_completions_from_executable(bin/"
           f'"{NAME}", "completions")' in formula and f"\n{licensed}\n" in formula
           and f"\n    {installed}\n" in formula, f"homebrew: formula {formula}")
    if shutil.which("ruby") and formula:
        r = subprocess.run(["ruby", "-c"], input=formula, capture_output=True, text=True)
        expect(r.returncode == 0, f"homebrew: the first formula: {r.stderr}")
    if licensed != '  license "MIT"':
        return
    expect(f"releases/download/v0.1.1/{NAME}-v0.1.1-aarch64-apple-darwin.tar.gz" in formula and
           f'sha256 "{"1" * 64}"' in formula, "homebrew: the aarch64 macOS url or sha256")
    known_hosts = tmp / "first" / "home" / ".ssh" / "known_hosts"
    listed = subprocess.run(["ssh-keygen", "-lf", str(known_hosts)], capture_output=True, text=True)
    fingerprints = sorted(line.split()[1] for line in listed.stdout.splitlines())
    expect(fingerprints == sorted(GITHUB_HOST_KEYS) and
           all(line.startswith("github.com ") for line in known_hosts.read_text().splitlines()),
           f"homebrew: known_hosts holds {fingerprints}, not GitHub's published keys")
    expect('GIT_SSH_COMMAND="ssh -o StrictHostKeyChecking=yes"' in script,
           "homebrew: ssh may still accept an unknown host key")

    status, out, _ = update("same", "v0.1.1")
    expect(status == 0 and head() == "Update demo-tool to v0.1.1" and "nothing to commit" in out,
           f"homebrew: an identical formula was committed again (exit {status}): {out}")
    status, out, _ = update("older", "v0.1.0")
    expect(status == 0 and head() == "Update demo-tool to v0.1.1" and "newer than 0.1.0" in out,
           f"homebrew: an older tag moved the tap back (exit {status}): {out}")
    status, out, _ = update("ten", "v0.1.10")
    expect(status == 0 and head() == "Update demo-tool to v0.1.10",
           f"homebrew: v0.1.10 did not replace v0.1.1 (exit {status}): {out}")

    # Two releases close together: the push is refused once, and the formula lands on top of
    # what the other one pushed; if that was a newer formula, the tap keeps it.
    status, out, _ = update("raced", "v0.1.11", race=race("Concurrent change"))
    parent = subprocess.run(["git", "-C", str(tap), "log", "-1", "--format=%s", "main~1"],
                            capture_output=True, text=True).stdout.strip()
    expect(status == 0 and head() == "Update demo-tool to v0.1.11" and parent == "Concurrent change"
           and "refused the push (attempt 1 of 5)" in out,
           f"homebrew: a raced push was not retried on top (exit {status}, {head()} on {parent}): {out}")
    status, out, _ = update("raced-newer", "v0.1.12", race=race("Newer formula", "0.2.0"))
    expect(status == 0 and head() == "Newer formula" and "newer than 0.1.12" in out,
           f"homebrew: a retry replaced a newer formula (exit {status}, {head()}): {out}")

    status, out, formula = update("build", "v1.0.0+build-7")
    expect(status == 0 and head() == "Update demo-tool to v1.0.0+build-7" and
           f"releases/download/v1.0.0+build-7/{NAME}-v1.0.0+build-7-x86_64-apple-darwin.tar.gz" in formula,
           f"homebrew: a version with build metadata did not reach the tap (exit {status}): {out}")

    long = "Counts " + "very " * 20 + "many widgets"
    descriptions = [  # as typed in Cargo.toml, desc wanted
        ("An ordoval-compliant CLI (demo-tool).", "Ordoval-compliant CLI (demo-tool)"),
        ("Bumps VERSION files", "Bumps VERSION files"),
        ("the demo-tool: counts widgets.", "Counts widgets"),
        ("An   extra   spaced tool...", "Extra spaced tool"),
        ("demo-tool", "Command-line tool"),
        ("Costs #{10} and 5$", "Costs \\#{10} and 5$"),
        (long, long[:81].rsplit(" ", 1)[0]),
        ("A command line tool for widgets", "Command-line tool for widgets"),
        ("Commandline widgets", "Command-line widgets"),
        ("Demo Tool counts widgets", "Counts widgets"),
        ("DEMOTOOL: counts widgets", "Counts widgets"),
        ("Demo-Tool - counts widgets", "Counts widgets"),
        ("Demo Toolkit for widgets", "Demo Toolkit for widgets"),
        ("\U0001F680 blazing fast widgets", "Blazing fast widgets"),
        ("Counts widgets \u2728 quickly", "Counts widgets quickly"),
        ("- counts widgets", "Counts widgets"),
        ("...and counts widgets", "And counts widgets"),
        ("W" + "x" * 84, "W" + "x" * 79),
        ("macOS menu-bar widgets", "macOS menu-bar widgets"),
        ("Widgets, gadgets, etc.", "Widgets, gadgets, etc."),
    ]
    for index, (typed, want) in enumerate(descriptions):
        status, out, formula = update(f"desc{index}", "v0.0.1", typed.replace("\\", "\\\\"))
        line = next((l for l in formula.splitlines() if l.startswith("  desc ")), "")
        expect(status == 0 and line == f'  desc "{want}"' and len(want) <= 80,
               f"homebrew: desc for {typed!r} is {line!r}, want {want!r} (exit {status}): {out}")
        if shutil.which("ruby") and formula:
            r = subprocess.run(["ruby", "-c"], input=formula, capture_output=True, text=True)
            expect(r.returncode == 0, f"homebrew: formula for {typed!r}: {r.stderr}")
            r = subprocess.run(["ruby", str(HERE / "homebrew_desc_audit.rb"), NAME,
                                want.replace("\\#", "#")], capture_output=True, text=True)
            expect(r.returncode == 0, f"homebrew: Homebrew's audit of {want!r}: {r.stdout}")


def check_tag_message(doc, tmp):
    script = step(doc, "test", "Check the tag against Cargo.toml")["run"]
    ws = fresh(tmp, "tag")
    (ws / "Cargo.toml").write_text(f'[package]\nname = "{NAME}"\nversion = "0.1.0"\n')
    status, out, _ = run(script, ws, {"REF_NAME": "v0.2.0", "REF_TYPE": "tag", "DRY_RUN": ""})
    for words in ("v0.2.0", "0.1.0", 'version = "0.2.0"', f"cargo update -p {NAME} --offline",
                  "commit", "git tag -d v0.2.0", "git push origin :refs/tags/v0.2.0"):
        expect(status == 1 and words in out,
               f"tag check: the message lacks {words!r}: {out}")


def main(argv):
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    if yaml is None:
        print("SKIP: the Python YAML module (Debian package python3-yaml) is not installed")
        return SKIP
    with tempfile.TemporaryDirectory() as tmp:
        doc = yaml.safe_load(workflow(scaffold(argv[1], pathlib.Path(tmp) / "p", True),
                                      "release.yml"))
        for check in (check_archive, check_glibc_floor, check_crates, check_github_release,
                      check_homebrew, check_tag_message):
            with tempfile.TemporaryDirectory() as scratch:
                check(doc, scratch)
        # The dual licence packs and installs both texts, and names both in the formula.
        dual = yaml.safe_load(workflow(scaffold(argv[1], pathlib.Path(tmp) / "dual", True,
                                                "MIT OR Apache-2.0"), "release.yml"))
        with tempfile.TemporaryDirectory() as scratch:
            check_archive(dual, scratch, ("LICENSE-APACHE", "LICENSE-MIT"))
        with tempfile.TemporaryDirectory() as scratch:
            check_homebrew(dual, scratch, '  license any_of: ["MIT", "Apache-2.0"]',
                           'prefix.install "LICENSE-APACHE", "LICENSE-MIT"')
    return report(failures, "publishing steps ok")


if __name__ == "__main__":
    sys.exit(main(sys.argv))
