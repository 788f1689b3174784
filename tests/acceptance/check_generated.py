#!/usr/bin/env python3
"""Checks a project written by `tarnwick new` beyond what cargo proves: the manifests parse
as TOML with the keys and values the generated crate must carry, no known placeholder is
left anywhere, the schema file is the one tarnwick ships, and the built binary's contract
validates against it with a draft 2020-12 validator.

Usage: check_generated.py PROJECT NAME DESCRIPTION AUTHOR OWNER PYPI(0|1) BINARY TEMPLATE_SCHEMA
"""
import json
import pathlib
import subprocess
import sys
import tomllib

import jsonschema

PLACEHOLDERS = ["{{name}}", "{{name_snake}}", "{{name_pascal}}", "{{description}}",
                "{{owner}}", "{{author}}", "{{author_fields}}", "{{year}}", "{{license}}",
                "{{#pypi}}", "{{/pypi}}", "{{#dual_license}}", "{{^dual_license}}",
                "{{/dual_license}}"]

failures = []


def expect(label, got, want):
    if got != want:
        failures.append(f"{label}: got {got!r}, want {want!r}")


def author_entry(author):
    """The author as PEP 621 wants it: name and e-mail apart."""
    name, _, email = author.partition("<")
    if not email:
        return {"name": author.strip()}
    return {"name": name.strip(), "email": email.rstrip(">").strip()}


def main():
    project, name, description, author, owner, pypi, binary, template_schema = sys.argv[1:9]
    root = pathlib.Path(project)
    pypi = pypi == "1"
    snake = name.replace("-", "_")
    repo_url = f"https://github.com/{owner}/{name}"

    cargo = tomllib.loads((root / "Cargo.toml").read_text())
    package = cargo["package"]
    for key, want in [("name", name), ("version", "0.1.0"), ("edition", "2024"),
                      ("rust-version", "1.90"), ("description", description),
                      ("authors", [author]), ("license", "MIT"), ("repository", repo_url),
                      ("homepage", repo_url), ("keywords", ["cli"]),
                      ("categories", ["command-line-utilities"]), ("readme", "README.md"),
                      ("exclude", [".github/", ".tarnwick.toml", "Makefile", "prek.toml", "pyproject.toml"])]:
        expect(f"Cargo.toml package.{key}", package.get(key), want)
    expect("Cargo.toml [lib]", cargo.get("lib"), {"name": snake, "path": "src/lib.rs"})
    expect("Cargo.toml [[bin]]", cargo.get("bin"), [{"name": name, "path": "src/main.rs"}])
    expect("Cargo.toml [dependencies]", cargo.get("dependencies"), {
        "clap": {"version": "4", "features": ["derive"]},
        "clap_complete": "4",
        "serde": {"version": "1", "features": ["derive"]},
        "serde_json": "1",
        "thiserror": "2",
    })
    expect("Cargo.toml [dev-dependencies]", cargo.get("dev-dependencies"),
           {"jsonschema": {"version": "0.46", "default-features": False}})
    expect("Cargo.toml [profile.release]", cargo.get("profile", {}).get("release"),
           {"strip": True, "lto": True, "codegen-units": 1})
    expect("Cargo.toml sections", list(cargo), ["package", "lib", "bin", "dependencies",
                                                 "dev-dependencies", "profile"])

    pyproject_path = root / "pyproject.toml"
    expect("pyproject.toml present", pyproject_path.exists(), pypi)
    if pypi:
        py = tomllib.loads(pyproject_path.read_text())
        expect("pyproject [build-system]", py.get("build-system"),
               {"requires": ["maturin>=1.9,<2.0"], "build-backend": "maturin"})
        proj = py.get("project", {})
        for key, want in [("name", name), ("dynamic", ["version"]),
                          ("description", description), ("readme", "README.md"),
                          ("requires-python", ">=3.8"), ("license", "MIT"),
                          ("authors", [author_entry(author)]), ("dependencies", []),
                          ("urls", {"Homepage": repo_url, "Repository": repo_url})]:
            expect(f"pyproject project.{key}", proj.get(key), want)
        expect("pyproject classifiers", proj.get("classifiers"), [
            "Development Status :: 3 - Alpha", "Environment :: Console",
            "Intended Audience :: Developers", "Operating System :: OS Independent", "Programming Language :: Rust",
            "Topic :: Utilities"])
        expect("pyproject [tool.maturin]", py.get("tool", {}).get("maturin"),
               {"bindings": "bin", "manifest-path": "Cargo.toml", "strip": True,
                "sbom": {"rust": False}})

    for path in sorted(p for p in root.rglob("*") if p.is_file() and ".git" not in p.parts
                       and "target" not in p.parts):
        text = path.read_text()
        for token in PLACEHOLDERS:
            # A description may legitimately contain brace text; only our own tokens count.
            if token in text and token not in description:
                failures.append(f"{path.relative_to(root)} still holds {token}")

    schema_text = (root / "schemas/ordoval-v0.3.json").read_bytes()
    expect("schemas/ordoval-v0.3.json equals the shipped template", schema_text,
           pathlib.Path(template_schema).read_bytes())
    schema = json.loads(schema_text)
    jsonschema.Draft202012Validator.check_schema(schema)

    run = lambda *args: subprocess.run([binary, *args], capture_output=True, text=True)
    contract_run = run("schema")
    expect("schema exit code", contract_run.returncode, 0)
    contract = json.loads(contract_run.stdout)
    for error in jsonschema.Draft202012Validator(schema).iter_errors(contract):
        failures.append(f"contract does not validate: {error.message} at {list(error.path)}")
    expect("contract name", contract.get("name"), name)
    expect("contract description", contract.get("description"), description)
    expect("piped 21", run("21").stdout, '{"value":21,"doubled":42}\n')
    expect("text 21", run("-o", "text", "21").stdout, "21 doubled is 42\n")
    bad = run("abc")
    expect("abc exit code", bad.returncode, 1)
    envelope = json.loads(bad.stderr.strip().splitlines()[-1])["error"]
    expect("abc kind", envelope.get("kind"), "invalid_input")
    expect("abc hint", envelope.get("hint"), f"pass an integer, e.g. `{name} 21`")
    none = run()
    expect("no value exit code", none.returncode, 3)
    envelope = json.loads(none.stderr.strip().splitlines()[-1])["error"]
    expect("no value message", envelope.get("message"), f"no value given (try `{name} 21`)")
    expect("saturation", run("9223372036854775807").stdout,
           '{"value":9223372036854775807,"doubled":9223372036854775807}\n')
    expect("completions bash exit code", run("completions", "bash").returncode, 0)
    internal = [e for e in contract.get("errors", []) if e.get("kind") == "internal"]
    expect("contract declares the internal kind", [e.get("exit_code") for e in internal], [70])

    if failures:
        print("\n".join("FAIL: " + f for f in failures))
        return 1
    print(f"OK: manifests, placeholders, schema file and contract of {name}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
