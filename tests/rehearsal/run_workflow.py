#!/usr/bin/env python3
"""Runs the jobs of a generated project's workflow (ci.yml or release.yml) on this machine, as
GitHub would for a push of one ref, for the release rehearsal.

Not a general Actions engine: it knows exactly what those two workflows use. Jobs run in `needs`
order; `${{ }}` expressions are evaluated (contexts github, env, matrix, secrets, inputs, runner,
steps, needs; operators ! == != < <= > >= && || and contains/startsWith/endsWith/always/
success/failure/cancelled); `if:` is honoured, with the implicit success() GitHub adds. Every
`run:` step runs its text unchanged in bash, in a private mount namespace whose /tmp is the
job's own directory (and RUNNER_TEMP), with HOME, GITHUB_OUTPUT, GITHUB_ENV, GITHUB_PATH and the
GITHUB_* variables of a runner. `gh` is whatever gh is on PATH (the rehearsal's fake, which
keeps releases in its store); a job whose token may not write contents gets
FAKE_GH_READ_ONLY=1, and the fake refuses writes then.

Local equivalents (the only departures from the workflow text):
  actions/checkout           the workspace is a fresh clone of the repository at the ref; its
                             target/ is the shared cargo target directory (bind-mounted)
  dtolnay/rust-toolchain     the installed toolchain (no other can be installed here)
  taiki-e/install-action     skipped: nextest is not installed; the Makefile falls back
  actions/upload-artifact    files copied into ARTIFACTS/NAME
  actions/download-artifact  ARTIFACTS/NAME copied into PATH/NAME (pattern-matched)
  astral-sh/setup-uv         the uv of TOOLS (build/test-tools), which must be the version the
                             step asks for, goes on the job's PATH
  PyO3/maturin-action        `maturin build` of TOOLS (again the version the step asks for) with
                             the step's target, manylinux and args, as the action passes them,
                             plus --zig: no manylinux container runs here, zig links against
                             glibc 2.17 instead (--host-wheel FILE: that wheel in place of the
                             build, to put a given binary through the steps after it)
  `uv publish`               to the local index given by --pypi: UV_PUBLISH_URL is set, and the
                             --check-url of the public index becomes the local one
  `cargo publish`            becomes `cargo publish --dry-run` (packaged and verified against the
                             real registry, never uploaded)
  actions/cache              skipped (every job starts from the shared target directory anyway)
  actions/attest             skipped (no identity token or Sigstore here)
  `pip install "ziglang==V"`  (a line installing ziglang into a virtual environment, alone or
                             with cargo-zigbuild as "Install cargo-zigbuild" does) the uv of
                             TOOLS installs the same packages from PyPI into that environment
                             through uv's cache of this machine: zig's files are then the same
                             files, with the same times, as in every checkout's build/test-tools,
                             and zig reuses its runtimes (libc++, glibc's stubs) built from them;
                             it rebuilds them whenever those files' times change, as every fresh
                             pip install does
  every other `run:` step    runs as written: "Take the binary from the wheel" and "Check the
                             glibc floor" run on the real wheel and binary, the skip-if-present
                             step's curl goes to whatever `curl` is on PATH (the rehearsal's
                             shim routes the registry's API to a local stand-in)

The rehearsal builds its release binaries without LTO (CARGO_PROFILE_RELEASE_LTO=false, set by
rehearsal.sh), to keep its seven release builds affordable; nothing it checks depends on LTO.

What cannot run here: matrix entries for another OS or CPU (macOS, arm64 Linux). For them the
wheel step writes a placeholder wheel, "Build binary" a placeholder binary at the path cargo
would use, and "Verify binary" and "Check the glibc floor" are skipped; all else runs. OIDC,
GitHub's own services (releases, artifacts, caches) and the runners' images are not here either:
releases go to the fake gh's store.

Usage: run_workflow.py WORKFLOW --ref REF --repo URL --repository OWNER/NAME --secrets DIR
         --artifacts DIR --work DIR --target-dir DIR --tools DIR [--pypi URL]
         [--jobs JOB,...] [--matrix KEY=VALUE]... [--host-wheel FILE]
         [--dispatch [--input NAME=VALUE]...]
--jobs runs only those jobs (the others count as succeeded for `needs`); --matrix KEY=VALUE
(repeatable) only the matrix entries with those values.
--dispatch runs the workflow as a manual run (workflow_dispatch) of REF, with each input at its
declared default unless --input gives it (true and false become booleans).
Prints each step and, last, one line "RESULT <job> <success|failure|skipped>" per job.
Exit status 0 when no job failed, 1 otherwise.
"""

import argparse
import fnmatch
import glob
import json
import math
import os
import re
import shlex
import shutil
import subprocess
import sys
import zipfile

import yaml

HERE = os.path.dirname(os.path.abspath(__file__))

HOST_OS, HOST_TARGET = "Linux", "x86_64-unknown-linux-gnu"

# The wheel platform tags of the targets that cannot be built here, for placeholder wheels.
PLACEHOLDER_WHEEL_TAGS = {
    "aarch64-unknown-linux-gnu": "manylinux_2_17_aarch64.manylinux2014_aarch64",
    "aarch64-apple-darwin": "macosx_11_0_arm64",
    "x86_64-apple-darwin": "macosx_10_12_x86_64",
}

# A step's line that pip-installs ziglang (alone or with other packages, each quoted) into a
# virtual environment.
PIP_ZIGLANG = re.compile(r'^"(?P<venv>[^"]+)/bin/pip" install --quiet '
                         r'(?P<spec>(?:"[^"]+" )*"ziglang==[^"]+"(?: "[^"]+")*)$', re.M)

# ---- expressions ---------------------------------------------------------------------------

TOKEN = re.compile(r"\s*(?:('(?:[^']|'')*')|(\d+(?:\.\d+)?)|([A-Za-z_][\w-]*)|"
                   r"(==|!=|<=|>=|&&|\|\||[!<>().,*\[\]]))")
STATUS_FUNCS = ("success", "failure", "always", "cancelled")


def tokenize(text):
    pos, out = 0, []
    text = text.rstrip()
    while pos < len(text):
        m = TOKEN.match(text, pos)
        if not m:
            raise ValueError(f"cannot parse expression at: {text[pos:]!r}")
        s, n, ident, op = m.groups()
        out.append(("str", s[1:-1].replace("''", "'")) if s is not None else
                   ("num", float(n)) if n is not None else
                   ("id", ident) if ident is not None else ("op", op))
        pos = m.end()
    return out


def to_number(v):
    if v is None:
        return 0.0
    if isinstance(v, bool):
        return 1.0 if v else 0.0
    if isinstance(v, (int, float)):
        return float(v)
    if isinstance(v, str):
        try:
            return float(v.strip()) if v.strip() else 0.0
        except ValueError:
            return math.nan
    return math.nan


def truthy(v):
    if isinstance(v, float) and math.isnan(v):
        return False
    return v not in (None, False, 0, "")


def loose_equal(a, b):
    if type(a) is type(b) or (isinstance(a, (int, float)) and isinstance(b, (int, float))
                              and not isinstance(a, bool) and not isinstance(b, bool)):
        return a.lower() == b.lower() if isinstance(a, str) else a == b
    return to_number(a) == to_number(b)


def to_text(v):
    if v is None:
        return ""
    if isinstance(v, bool):
        return "true" if v else "false"
    if isinstance(v, float):
        return str(int(v)) if v.is_integer() else str(v)
    if isinstance(v, (dict, list)):
        return json.dumps(v)
    return str(v)


def member(obj, name):
    if isinstance(obj, list):  # the result of a `*` filter
        return [x for x in (member(o, name) for o in obj) if x is not None]
    if isinstance(obj, dict):
        for k, v in obj.items():
            if k.lower() == name.lower():
                return v
    return None


class Evaluator:
    def __init__(self, contexts, status):
        self.contexts, self.status = contexts, status

    def eval(self, text):
        self.toks, self.i = tokenize(text), 0
        value = self.parse_or()
        if self.i != len(self.toks):
            raise ValueError(f"unexpected {self.toks[self.i]} in {text!r}")
        return value

    def peek(self, *ops):
        return self.i < len(self.toks) and self.toks[self.i][0] == "op" and self.toks[self.i][1] in ops

    def take(self, op):
        if not self.peek(op):
            raise ValueError(f"expected {op!r}")
        self.i += 1

    def parse_or(self):
        left = self.parse_and()
        while self.peek("||"):
            self.i += 1
            right = self.parse_and()
            left = left if truthy(left) else right
        return left

    def parse_and(self):
        left = self.parse_cmp()
        while self.peek("&&"):
            self.i += 1
            right = self.parse_cmp()
            left = right if truthy(left) else left
        return left

    def parse_cmp(self):
        left = self.parse_unary()
        while self.peek("==", "!=", "<", "<=", ">", ">="):
            op = self.toks[self.i][1]
            self.i += 1
            right = self.parse_unary()
            if op in ("==", "!="):
                left = loose_equal(left, right) == (op == "==")
            else:
                a, b = to_number(left), to_number(right)
                left = {"<": a < b, "<=": a <= b, ">": a > b, ">=": a >= b}[op]
        return left

    def parse_unary(self):
        if self.peek("!"):
            self.i += 1
            return not truthy(self.parse_unary())
        return self.parse_postfix()

    def parse_postfix(self):
        value = self.parse_primary()
        while self.peek(".", "["):
            if self.peek("."):
                self.i += 1
                if self.peek("*"):
                    self.i += 1
                    value = list(value.values()) if isinstance(value, dict) else value or []
                    continue
                _, name = self.toks[self.i]
                self.i += 1
                value = member(value, name)
            else:
                self.i += 1
                key = self.parse_or()
                self.take("]")
                value = member(value, to_text(key))
        return value

    def parse_primary(self):
        kind, tok = self.toks[self.i]
        self.i += 1
        if kind in ("str", "num"):
            return tok
        if kind == "op" and tok == "(":
            value = self.parse_or()
            self.take(")")
            return value
        if kind != "id":
            raise ValueError(f"unexpected {tok!r}")
        if tok in ("true", "false", "null"):
            return {"true": True, "false": False, "null": None}[tok]
        if self.peek("("):
            self.i += 1
            args = []
            while not self.peek(")"):
                args.append(self.parse_or())
                if self.peek(","):
                    self.i += 1
            self.take(")")
            return self.call(tok.lower(), args)
        return self.contexts.get(tok.lower())

    def call(self, name, args):
        if name in STATUS_FUNCS:
            return self.status(name)
        if name == "contains":
            hay, needle = args
            if isinstance(hay, list):
                return any(loose_equal(x, needle) for x in hay)
            return to_text(needle).lower() in to_text(hay).lower()
        if name in ("startswith", "endswith"):
            a, b = to_text(args[0]).lower(), to_text(args[1]).lower()
            return a.startswith(b) if name == "startswith" else a.endswith(b)
        raise ValueError(f"function {name}() is not used by the generated workflows")


EXPR = re.compile(r"\$\{\{(.*?)\}\}", re.S)


def interpolate(text, ev):
    return EXPR.sub(lambda m: to_text(ev.eval(m.group(1))), str(text))


def condition(text, ev):
    """`if:` as GitHub reads it: optional ${{ }}, implicit success() without a status call."""
    if text is None:
        return truthy(ev.status("success"))
    text = str(text).strip()
    m = EXPR.fullmatch(text)
    if m:
        text = m.group(1)
    if not any(t == ("id", f) for t in tokenize(text) for f in STATUS_FUNCS):
        text = f"success() && ({text})"
    return truthy(ev.eval(text))


# ---- jobs and steps ------------------------------------------------------------------------


def filter_regex(pattern):
    """A branch or tag filter of `on.push` as a regex: * stops at /, ** does not, ? and +
    apply to the preceding character, [..] is a character class."""
    out, i = "", 0
    while i < len(pattern):
        c = pattern[i]
        if pattern.startswith("**", i):
            out, i = out + ".*", i + 2
            continue
        if c == "[":
            j = pattern.index("]", i)
            out, i = out + pattern[i:j + 1], j + 1
            continue
        out += "[^/]*" if c == "*" else c if c in "?+" else re.escape(c)
        i += 1
    return re.compile(out + r"\Z")


def ordered_jobs(jobs):
    done, order = set(), []
    while len(order) < len(jobs):
        for jid, job in jobs.items():
            needs = job.get("needs", [])
            needs = [needs] if isinstance(needs, str) else needs
            if jid not in done and all(n in done for n in needs):
                order.append((jid, needs))
                done.add(jid)
                break
        else:
            raise ValueError("cycle in needs")
    return order


def runner_os(runs_on):
    return "macOS" if runs_on.startswith("macos") else "Windows" if runs_on.startswith("windows") else "Linux"


def native(runs_on):
    return runner_os(runs_on) == HOST_OS and not runs_on.endswith("-arm")


def local_path(path, job_tmp):
    """A path of the job's view (/tmp is private to the job) as the runner sees it."""
    return os.path.join(job_tmp, os.path.relpath(path, "/tmp")) if path.startswith("/tmp/") else path


class Run:
    def __init__(self, args):
        self.a = args
        self.ref = args.ref
        self.ref_name = args.ref.split("/", 2)[-1]
        self.secrets = {"GITHUB_TOKEN": "rehearsal-github-token"}
        for name in os.listdir(args.secrets) if os.path.isdir(args.secrets) else []:
            with open(os.path.join(args.secrets, name), encoding="utf-8") as f:
                self.secrets[name] = f.read()

    def github(self):
        tag = self.ref.startswith("refs/tags/")
        return {"ref": self.ref, "ref_name": self.ref_name, "ref_type": "tag" if tag else "branch",
                "event_name": "workflow_dispatch" if self.a.dispatch else "push",
                "repository": self.a.repository,
                "repository_owner": self.a.repository.split("/")[0], "workflow": self.wf.get("name", "")}

    def main(self):
        with open(self.a.workflow, encoding="utf-8") as f:
            self.wf = yaml.safe_load(f)
        # YAML 1.1 reads the key `on` as true.
        on = self.wf.get("on") or self.wf.get(True) or {}
        push = on.get("push") or {}
        tags = push.get("tags")
        self.inputs = {}
        if self.a.dispatch:
            declared = (on.get("workflow_dispatch") or {}).get("inputs") or {}
            self.inputs = {name: spec.get("default") for name, spec in declared.items()}
            for given in self.a.input:
                name, value = given.split("=", 1)
                if name not in declared:
                    print(f"the workflow has no input {name}")
                    return 1
                self.inputs[name] = {"true": True, "false": False}.get(value, value)
        elif self.ref.startswith("refs/tags/") and tags is not None and \
                not any(filter_regex(t).match(self.ref_name) for t in tags):
            print(f"the workflow does not start for tag {self.ref_name} (push.tags: {tags})")
            return 1
        results, only = {}, self.a.jobs.split(",") if self.a.jobs else None
        for jid, needs in ordered_jobs(self.wf["jobs"]):
            if only is not None and jid not in only:
                results[jid] = "success"
                continue
            results[jid] = self.job(jid, self.wf["jobs"][jid], {n: results[n] for n in needs})
        for jid, result in results.items():
            if only is None or jid in only:
                print(f"RESULT {jid} {result}")
        return 1 if "failure" in results.values() else 0

    def job(self, jid, job, needs):
        needs_ctx = {n: {"result": r, "outputs": {}} for n, r in needs.items()}
        matrix = job.get("strategy", {}).get("matrix", {})
        entries = matrix.get("include", [{}]) if matrix else [{}]
        if matrix and self.a.matrix:
            wanted = [given.split("=", 1) for given in self.a.matrix]
            entries = [e for e in entries if all(str(e.get(k)) == v for k, v in wanted)]
        results = []
        for entry in entries:
            ctx = self.contexts(entry, needs_ctx, {}, {})
            status = lambda f, r=list(needs.values()): {
                "success": all(x == "success" for x in r), "failure": "failure" in r,
                "always": True, "cancelled": False}[f]
            ev = Evaluator(ctx, status)
            title = interpolate(job.get("name", jid), ev)
            if not condition(job.get("if"), ev):
                print(f"== job {jid} ({title}): skipped (condition false)")
                results.append("skipped")
                continue
            print(f"== job {jid} ({title})")
            results.append(self.steps(jid, job, entry, needs_ctx))
        if "failure" in results:
            return "failure"
        return "success" if "success" in results else "skipped"

    def contexts(self, entry, needs_ctx, steps_ctx, env):
        runs_on = str(entry.get("os", "ubuntu-latest"))
        return {"github": self.github(), "matrix": entry, "secrets": self.secrets,
                "inputs": self.inputs,
                "runner": {"os": runner_os(runs_on), "temp": "/tmp"}, "needs": needs_ctx,
                "steps": steps_ctx,
                "env": env, "vars": {}}

    def steps(self, jid, job, entry, needs_ctx):
        suffix = "-" + entry["target"] if "target" in entry else ""
        jdir = os.path.join(self.a.work, jid + suffix)
        ws, home, jtmp = (os.path.join(jdir, d) for d in ("workspace", "home", "tmp"))
        for d in (ws, home, jtmp):
            os.makedirs(d)
        steps_ctx, failed = {}, False
        runs_on = self.job_runs_on(job, entry, needs_ctx)
        job_env, job_path = {}, []  # what steps added through GITHUB_ENV and GITHUB_PATH
        if not self.may_write_contents(job):
            job_env["FAKE_GH_READ_ONLY"] = "1"
        for n, step in enumerate(job.get("steps", [])):
            env = dict(job_env)
            ctx = self.contexts(entry, needs_ctx, steps_ctx, env)
            ev = Evaluator(ctx, lambda f: {"success": not failed, "failure": failed,
                                            "always": True, "cancelled": False}[f])
            for scope in (self.wf.get("env", {}), job.get("env", {}), step.get("env", {})):
                env.update({k: interpolate(v, ev) for k, v in scope.items()})
            if job_path:
                env["PATH"] = ":".join(job_path + [os.environ["PATH"]])
            label = step.get("name") or step.get("uses") or step["run"].splitlines()[0]
            label = interpolate(label, ev)
            if not condition(step.get("if"), ev):
                print(f"  - {label}: skipped (condition false)")
                continue
            if "uses" in step:
                ok, added = self.uses(step, ev, env, entry, runs_on, ws, home, jtmp, label)
                job_path += added
            else:
                outputs = os.path.join(jdir, f"step{n}.out")
                ok = self.run(step, ev, env, entry, runs_on, ws, home, jtmp, outputs, label)
                job_env.update(self.read_outputs(outputs + ".env"))
                job_path += self.read_lines(outputs + ".path")
                if step.get("id"):
                    steps_ctx[step["id"]] = {"outputs": self.read_outputs(outputs),
                                             "outcome": "success" if ok else "failure"}
            failed = failed or not ok
        return "failure" if failed else "success"

    def job_runs_on(self, job, entry, needs_ctx):
        ev = Evaluator(self.contexts(entry, needs_ctx, {}, {}), lambda f: True)
        return interpolate(job.get("runs-on", "ubuntu-latest"), ev)

    @staticmethod
    def read_outputs(path):
        out = {}
        if os.path.exists(path):
            with open(path, encoding="utf-8") as f:
                for line in f:
                    if "=" in line:
                        k, v = line.rstrip("\n").split("=", 1)
                        out[k] = v
        return out

    @staticmethod
    def read_lines(path):
        if not os.path.exists(path):
            return []
        with open(path, encoding="utf-8") as f:
            return [line.rstrip("\n") for line in f if line.strip()]

    def may_write_contents(self, job):
        perms = job.get("permissions", self.wf.get("permissions", "write-all"))
        return perms == "write-all" or (isinstance(perms, dict) and perms.get("contents") == "write")

    def tool(self, name):
        return os.path.join(os.path.abspath(self.a.tools), "venv", "bin", name)

    def tool_version(self, name, wanted, label):
        """True when the rig's tool is the version the step asks for; says so otherwise."""
        out = subprocess.run([self.tool(name), "--version"], capture_output=True, text=True)
        have = out.stdout.split()[1] if out.returncode == 0 and out.stdout.split()[1:] else None
        if have != wanted.lstrip("v"):
            print(f"  - {label}: FAILED: the step asks for {name} {wanted}, the rig has {have} "
                  f"({self.tool(name)}; scripts/install-deps.sh test installs docs/platform.md's)")
            return False
        return True

    def uses(self, step, ev, env, entry, runs_on, ws, home, jtmp, label):
        """Runs one `uses:` step; returns (succeeded, directories added to the job's PATH)."""
        action = step["uses"].split("@")[0]
        if action in ("actions/cache", "actions/attest"):
            print(f"  - {label}: skipped ({action} has no local equivalent)")
            return True, []
        w = {k: interpolate(v, ev) for k, v in step.get("with", {}).items()}
        if action == "actions/checkout":
            subprocess.run(["git", "clone", "-q", "--branch", self.ref_name, self.a.repo, ws],
                           check=True, stderr=subprocess.DEVNULL)
            # target/ is the shared cargo target directory, bind-mounted in each step: a link
            # would not survive the private /tmp when the directory itself is under /tmp.
            os.makedirs(self.a.target_dir, exist_ok=True)
            os.makedirs(os.path.join(ws, "target"), exist_ok=True)
            print(f"  - {label}: local clone at {self.ref_name}")
        elif action == "dtolnay/rust-toolchain":
            print(f"  - {label}: the installed toolchain")
        elif action == "actions/upload-artifact":
            files = [f for p in w["path"].split() for f in glob.glob(os.path.join(ws, p))]
            dest = os.path.join(self.a.artifacts, w["name"])
            os.makedirs(dest, exist_ok=True)
            for f in files:
                shutil.copy(f, dest)
            note = "" if files else " (warning: no files matched)"
            print(f"  - {label}: {len(files)} file(s) to artifact {w['name']}{note}")
        elif action == "actions/download-artifact":
            dest = local_path(w.get("path", "."), jtmp) if w.get("path", ".").startswith("/") \
                else os.path.join(ws, w.get("path", "."))
            names = sorted(n for n in os.listdir(self.a.artifacts)
                           if fnmatch.fnmatch(n, w.get("pattern", "*")))
            for name in names:
                shutil.copytree(os.path.join(self.a.artifacts, name), os.path.join(dest, name))
            print(f"  - {label}: artifacts {', '.join(names) or '(none)'}")
        elif action == "astral-sh/setup-uv":
            if not self.tool_version("uv", w.get("version", "(none: the newest)"), label):
                return False, []
            print(f"  - {label}: uv {w['version']} of the test tools")
            return True, [os.path.dirname(self.tool("uv"))]
        elif action == "PyO3/maturin-action":
            return self.maturin(w, env, entry, runs_on, ws, home, jtmp, label), []
        elif action == "taiki-e/install-action":
            print(f"  - {label}: skipped (nextest is not installed; `make test` falls back)")
        else:
            print(f"  - {label}: FAILED: no local equivalent for {step['uses']}")
            return False, []
        return True, []

    def maturin(self, w, env, entry, runs_on, ws, home, jtmp, label):
        """maturin-action's `maturin build`: --target and --manylinux from the inputs, then the
        step's args, as the action passes them; zig in place of the manylinux container."""
        if w.get("command", "build") != "build":
            print(f"  - {label}: FAILED: maturin-action command {w['command']!r} has no local equivalent")
            return False
        if not self.tool_version("maturin", w.get("maturin-version", "(none: the newest)"), label):
            return False
        target = w.get("target", entry.get("target", HOST_TARGET))
        if not native(runs_on):
            return self.placeholder_wheel(ws, target, label)
        args = [self.tool("maturin"), "build", "--target", target]
        if w.get("manylinux"):
            args += ["--manylinux", w["manylinux"]]
        args += shlex.split(w.get("args", ""))
        args.append("--zig")
        if self.a.host_wheel:
            os.makedirs(os.path.join(ws, "dist"), exist_ok=True)
            shutil.copy(self.a.host_wheel, os.path.join(ws, "dist"))
            print(f"  - {label}: the given wheel {os.path.basename(self.a.host_wheel)}, not built")
            return True
        print(f"  - {label}: {' '.join(shlex.quote(a) for a in args[1:])}")
        # Its zig is the ziglang beside maturin in the test tools' environment.
        path = os.path.dirname(self.tool("maturin")) + ":" + env.get("PATH", os.environ["PATH"])
        full_env = self.runner_env(env, home, ws, runs_on, os.path.join(jtmp, "maturin.out"))
        full_env["PATH"] = path
        rc = subprocess.run(self.jailed(jtmp, ws, args), cwd=ws, env=full_env).returncode
        if rc != 0:
            print(f"    FAILED: {label} exited with status {rc}")
        return rc == 0

    def placeholder_wheel(self, ws, target, label):
        """A wheel as maturin would name it for a target that cannot be built here, holding a
        placeholder binary, so that the steps after it (and the upload) have their input."""
        name = self.package_name(ws)
        version = self.package_version(ws)
        version = re.sub(r"-(rc|alpha|beta)\.?(\d+)$",
                         lambda m: {"rc": "rc", "alpha": "a", "beta": "b"}[m.group(1)] + m.group(2),
                         version)
        dist = name.replace("-", "_")
        wheel = os.path.join(ws, "dist", f"{dist}-{version}-py3-none-{PLACEHOLDER_WHEEL_TAGS[target]}.whl")
        os.makedirs(os.path.dirname(wheel), exist_ok=True)
        members = {
            f"{dist}-{version}.data/scripts/{name}": f"placeholder for {target}\n",
            f"{dist}-{version}.dist-info/METADATA":
                f"Metadata-Version: 2.4\nName: {name}\nVersion: {version}\n",
            f"{dist}-{version}.dist-info/WHEEL":
                f"Wheel-Version: 1.0\nGenerator: rehearsal\nRoot-Is-Purelib: false\n"
                f"Tag: py3-none-{PLACEHOLDER_WHEEL_TAGS[target]}\n",
        }
        # Byte-identical on every run, as maturin's wheels are: a re-run must find it unchanged.
        with zipfile.ZipFile(wheel, "w") as z:
            for member, text in members.items():
                z.writestr(zipfile.ZipInfo(member, date_time=(1980, 1, 1, 0, 0, 0)), text)
        print(f"  - {label}: placeholder wheel {os.path.basename(wheel)} (cannot build for {target} here)")
        return True

    def run(self, step, ev, env, entry, runs_on, ws, home, jtmp, outputs, label):
        script = interpolate(step["run"], ev)
        name = step.get("name")
        if not native(runs_on) and name == "Check the glibc floor":
            print(f"  - {label}: skipped (the {entry['target']} binary is a placeholder)")
            return True
        if not native(runs_on) and step.get("name") == "Verify binary":
            print(f"  - {label}: skipped (a {entry['target']} binary cannot run here)")
            return True
        if not native(runs_on) and step.get("name") == "Build binary":
            binary = f"target/{entry['target']}/release/{self.package_name(ws)}"
            script = (f"mkdir -p {os.path.dirname(binary)}\n"
                      f"printf 'placeholder for {entry['target']}\\n' > {binary}\n")
            print(f"  - {label}: placeholder {binary} (cannot build for {runs_on} here)")
        else:
            if "cargo publish" in script and "--dry-run" not in script:
                script = script.replace("cargo publish", "cargo publish --dry-run")
                label += " (cargo publish --dry-run)"
            if PIP_ZIGLANG.search(script):
                uv = self.tool("uv")
                script = PIP_ZIGLANG.sub(
                    lambda m: f'"{uv}" pip install --quiet --no-config '
                              f'--python "{m["venv"]}/bin/python" {m["spec"]}', script)
                # The job's HOME is its own: uv is pointed at this machine's cache. The job's /tmp
                # is another mount, which no hard link crosses, and a copy has new times: the
                # environment links to the cache's files.
                cache = subprocess.run([uv, "cache", "dir"], capture_output=True, text=True)
                env = dict(env, UV_CACHE_DIR=cache.stdout.strip(), UV_LINK_MODE="symlink")
                label += " (ziglang from uv's cache)"
            if "uv publish" in script:
                if not self.a.pypi:
                    print(f"  - {label}: FAILED: uv publish needs a local index (--pypi)")
                    return False
                script = script.replace("https://pypi.org/simple/", self.a.pypi.rstrip("/") + "/simple/")
                env = dict(env, UV_PUBLISH_URL=self.a.pypi.rstrip("/") + "/")
                label += f" (to {self.a.pypi})"
            print(f"  - {label}")
        shell = step.get("shell")
        cmd = ["bash", "--noprofile", "--norc", "-eo", "pipefail"] if shell == "bash" else ["bash", "-e"]
        path = outputs + ".sh"
        with open(path, "w", encoding="utf-8") as f:
            f.write(script)
        full_env = self.runner_env(env, home, ws, runs_on, outputs)
        open(outputs, "w").close()
        jailed = self.jailed(jtmp, ws, cmd + [path])
        rc = subprocess.run(jailed, cwd=ws, env=full_env).returncode
        if rc != 0:
            print(f"    FAILED: {label} exited with status {rc}")
        return rc == 0

    def runner_env(self, env, home, ws, runs_on, outputs):
        return dict(os.environ, **env, HOME=home, CI="true", GITHUB_ACTIONS="true",
                    GITHUB_OUTPUT=outputs, GITHUB_ENV=outputs + ".env",
                    GITHUB_PATH=outputs + ".path", GITHUB_WORKSPACE=ws, GITHUB_REF=self.ref,
                    GITHUB_REF_NAME=self.ref_name, GITHUB_REPOSITORY=self.a.repository,
                    RUNNER_OS=runner_os(runs_on), RUNNER_TEMP="/tmp", TMPDIR="/tmp")

    def jailed(self, jtmp, ws, cmd):
        """cmd in a private mount namespace: the job's /tmp, and target/ the shared directory.
        The test tools of a checkout under /tmp are mounted into the job's /tmp at their own path
        first: the private /tmp would hide them otherwise."""
        tools = os.path.abspath(self.a.tools)
        inner = os.path.join(jtmp, os.path.relpath(tools, "/tmp")) if tools.startswith("/tmp/") else ""
        return ["unshare", "-m", "--propagation", "private", "sh", "-c",
                '{ [ ! -d "$2" ] || mount --bind "$1" "$2"; } && '
                '{ [ -z "$4" ] || { mkdir -p "$4" && mount --bind "$3" "$4"; }; } && '
                'mount --rbind "$0" /tmp && shift 4 && exec "$@"',
                jtmp, self.a.target_dir, os.path.join(ws, "target"), tools, inner] + cmd

    @staticmethod
    def package_version(ws):
        with open(os.path.join(ws, "Cargo.toml"), encoding="utf-8") as f:
            return re.search(r'^version = "([^"]+)"', f.read(), re.M).group(1)

    @staticmethod
    def package_name(ws):
        with open(os.path.join(ws, "Cargo.toml"), encoding="utf-8") as f:
            return re.search(r'^name = "([^"]+)"', f.read(), re.M).group(1)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("workflow")
    for opt in ("ref", "repo", "repository", "secrets", "artifacts", "work", "target-dir", "tools"):
        p.add_argument("--" + opt, required=True)
    p.add_argument("--dispatch", action="store_true")
    p.add_argument("--input", action="append", default=[])
    p.add_argument("--pypi")
    p.add_argument("--jobs")
    p.add_argument("--matrix", action="append", default=[])
    p.add_argument("--host-wheel")
    args = p.parse_args()
    os.makedirs(args.artifacts, exist_ok=True)
    os.makedirs(args.work, exist_ok=True)
    sys.stdout.reconfigure(line_buffering=True)
    return Run(args).main()


if __name__ == "__main__":
    sys.exit(main())
