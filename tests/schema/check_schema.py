#!/usr/bin/env python3
"""Checks the stored contract schema template: its layout, that it is a valid draft 2020-12
schema, and that it accepts and rejects the documents listed below as it should.

Usage: check_schema.py SCHEMA_TEMPLATE [CONTRACT_JSON]
The optional CONTRACT_JSON (for example the output of `tarnwick schema`) must validate too.
"""
import copy
import json
import pathlib
import sys

from jsonschema import Draft202012Validator

DATA = pathlib.Path(__file__).resolve().parent / "data"

TOP_LEVEL_ORDER = ["$schema", "$id", "title", "description", "type", "required", "properties",
                   "$defs", "x-standard-error-kinds", "x-checker-rules"]
DEFS_ORDER = ["command", "arg", "type_node", "field", "outcome", "error"]
RESERVED_KINDS = ["auth", "not_found", "conflict", "confirmation_required", "tty_required", "usage",
                  "parse", "io", "rate_limit", "timeout", "unavailable", "internal"]
CHECKER_RULES = ["ambiguous-exit-code", "unique-error-kinds / unique-outcome-names / unique-command-names",
                 "error-ref-resolves", "outcome-ref-resolves", "conditional-error-kind",
                 "arg-ref-resolves", "stdout-schema-valid"]
LINTS = ["near-miss-key", "near-miss-standard-kind", "shared-error-exit-code",
         "wide-record-needs-fields", "mutating-without-conflict", "non-idempotent-without-key"]

# A small valid contract that every case below starts from: command 0 is a data command,
# command 1 an opaque one, command 2 an unbounded data command with cursor paging.
BASE = {
    "ordoval": "0.3",
    "name": "probe",
    "version": "1.0.0",
    "commands": [
        {"name": "show", "description": "Show one item.", "effects": "read_only",
         "cardinality": "single", "output_fields": [{"name": "id", "type": "integer"}]},
        {"name": "completions", "description": "Print a completion script.",
         "effects": "read_only", "output_kind": "opaque", "media_type": "text/plain"},
        {"name": "items list", "description": "List items.", "effects": "read_only",
         "cardinality": "unbounded", "fields_arg": "--fields",
         "pagination": {"style": "cursor", "cursor_field": "next", "cursor_arg": "--cursor",
                        "limit_arg": "--limit"},
         "output_fields": [{"name": "id", "type": "integer"}]},
    ],
    "errors": [{"kind": "usage", "exit_code": 3}],
}

SET, DEL = "set", "del"

# Each case: (what it shows, whether the result must validate, edits applied to BASE).
# An edit is (SET, path, value) or (DEL, path); a path is a list of keys and indices.
CASES = [
    ("the base document", True, []),
    # Top level.
    ("ordoval 0.4", False, [(SET, ["ordoval"], "0.4")]),
    ("ordoval as the number 0.3", False, [(SET, ["ordoval"], 0.3)]),
    ("no ordoval", False, [(DEL, ["ordoval"])]),
    ("no name", False, [(DEL, ["name"])]),
    ("empty name", False, [(SET, ["name"], "")]),
    ("no version", False, [(DEL, ["version"])]),
    ("no commands", False, [(DEL, ["commands"])]),
    ("no errors", False, [(DEL, ["errors"])]),
    ("empty commands", False, [(SET, ["commands"], [])]),
    ("empty errors", False, [(SET, ["errors"], [])]),
    ("top-level command_layout", False, [(SET, ["command_layout"], "flat")]),
    ("command_layout null", False, [(SET, ["command_layout"], None)]),
    ("output without piped", False, [(SET, ["output"], {"tty": "text"})]),
    ("output with piped only", True, [(SET, ["output"], {"piped": "json"})]),
    ("outcome code 0", False, [(SET, ["outcomes"], [{"code": 0, "name": "differs"}])]),
    ("outcome code 1", True, [(SET, ["outcomes"], [{"code": 1, "name": "differs"}])]),
    ("outcome name in camelCase", False, [(SET, ["outcomes"], [{"code": 1, "name": "noMatch"}])]),
    # Command basics.
    ("command with subcommands", False, [(SET, ["commands", 0, "subcommands"], [])]),
    ("command with subcommands false", False, [(SET, ["commands", 0, "subcommands"], False)]),
    ("command without effects", False, [(DEL, ["commands", 0, "effects"])]),
    ("effects value unknown", False, [(SET, ["commands", 0, "effects"], "safe")]),
    ("command name with two spaces", False, [(SET, ["commands", 0, "name"], "items  list")]),
    ("command name with a trailing space", False, [(SET, ["commands", 0, "name"], "show ")]),
    ("command name with a tab", False, [(SET, ["commands", 0, "name"], "items\tlist")]),
    ("command error ref with upper case", False, [(SET, ["commands", 0, "errors"], ["Usage"])]),
    ("command error ref snake_case", True, [(SET, ["commands", 0, "errors"], ["usage"])]),
    # Rules 1, 2 and 4: data commands, with output_kind absent or "data".
    ("data command without cardinality", False, [(DEL, ["commands", 0, "cardinality"])]),
    ("explicit data command without cardinality", False,
     [(SET, ["commands", 0, "output_kind"], "data"), (DEL, ["commands", 0, "cardinality"])]),
    ("data command with stdout_schema {} and no output_fields", True,
     [(DEL, ["commands", 0, "output_fields"]), (SET, ["commands", 0, "stdout_schema"], {})]),
    ("data command without output_fields and stdout_schema", False,
     [(DEL, ["commands", 0, "output_fields"])]),
    ("explicit data command without output_fields and stdout_schema", False,
     [(SET, ["commands", 0, "output_kind"], "data"), (DEL, ["commands", 0, "output_fields"])]),
    ("data command with media_type", False, [(SET, ["commands", 0, "media_type"], "text/plain")]),
    ("data command with stream_format", False, [(SET, ["commands", 0, "stream_format"], "ndjson")]),
    # Rule 5: opaque commands.
    ("opaque command without media_type", False, [(DEL, ["commands", 1, "media_type"])]),
    ("opaque command with cardinality", False, [(SET, ["commands", 1, "cardinality"], "single")]),
    ("opaque command with output_fields", False, [(SET, ["commands", 1, "output_fields"], [])]),
    ("opaque command with stdout_schema", False, [(SET, ["commands", 1, "stdout_schema"], {})]),
    ("opaque command with stream_format", False, [(SET, ["commands", 1, "stream_format"], "ndjson")]),
    ("opaque command with pagination", False,
     [(SET, ["commands", 1, "pagination"], {"style": "none"})]),
    ("opaque command with fields_arg", False, [(SET, ["commands", 1, "fields_arg"], "--fields")]),
    # Rule 6: stream commands.
    ("stream command with stream_format and output_fields", True,
     [(SET, ["commands", 1, "output_kind"], "stream"), (DEL, ["commands", 1, "media_type"]),
      (SET, ["commands", 1, "stream_format"], "ndjson"),
      (SET, ["commands", 1, "output_fields"], [{"name": "line", "type": "string"}])]),
    ("stream command with media_type", False, [(SET, ["commands", 1, "output_kind"], "stream")]),
    ("stream command with cardinality", False,
     [(SET, ["commands", 1, "output_kind"], "stream"), (DEL, ["commands", 1, "media_type"]),
      (SET, ["commands", 1, "cardinality"], "unbounded"), (SET, ["commands", 1, "fields_arg"], "-f"),
      (SET, ["commands", 1, "pagination"], {"style": "offset", "offset_arg": "--offset",
                                            "limit_arg": "--limit"})]),
    ("stream command with pagination", False,
     [(SET, ["commands", 1, "output_kind"], "stream"), (DEL, ["commands", 1, "media_type"]),
      (SET, ["commands", 1, "pagination"], {"style": "none"})]),
    # Rule 3 and the pagination rules.
    ("unbounded with pagination style none", False,
     [(SET, ["commands", 2, "pagination"], {"style": "none"})]),
    ("unbounded without fields_arg", False, [(DEL, ["commands", 2, "fields_arg"])]),
    ("unbounded without pagination", False, [(DEL, ["commands", 2, "pagination"])]),
    ("cursor paging without limit_arg", False, [(DEL, ["commands", 2, "pagination", "limit_arg"])]),
    ("cursor paging without cursor_field", False,
     [(DEL, ["commands", 2, "pagination", "cursor_field"])]),
    ("cursor paging without cursor_arg", False, [(DEL, ["commands", 2, "pagination", "cursor_arg"])]),
    ("offset paging with offset_arg and limit_arg", True,
     [(SET, ["commands", 2, "pagination"], {"style": "offset", "offset_arg": "--offset",
                                            "limit_arg": "--limit"})]),
    ("offset paging without offset_arg", False,
     [(SET, ["commands", 2, "pagination"], {"style": "offset", "limit_arg": "--limit"})]),
    ("pagination without style", False,
     [(SET, ["commands", 2, "pagination"], {"cursor_field": "next"})]),
    ("bounded command with pagination style none", True,
     [(SET, ["commands", 0, "cardinality"], "bounded"),
      (SET, ["commands", 0, "pagination"], {"style": "none"})]),
    # Rule 7.
    ("read_only command with idempotency_key_arg", False,
     [(SET, ["commands", 0, "idempotency_key_arg"], "--key")]),
    ("idempotent command with idempotency_key_arg", False,
     [(SET, ["commands", 0, "effects"], "idempotent"),
      (SET, ["commands", 0, "idempotency_key_arg"], "--key")]),
    ("non_idempotent command with idempotency_key_arg", True,
     [(SET, ["commands", 0, "effects"], "non_idempotent"),
      (SET, ["commands", 0, "idempotency_key_arg"], "--key")]),
    # Rules 8 and 9.
    ("mutating false with effects idempotent", False,
     [(SET, ["commands", 0, "mutating"], False), (SET, ["commands", 0, "effects"], "idempotent")]),
    ("mutating true with effects read_only", False, [(SET, ["commands", 0, "mutating"], True)]),
    ("mutating false with effects read_only", True, [(SET, ["commands", 0, "mutating"], False)]),
    ("mutating true with effects non_idempotent", True,
     [(SET, ["commands", 0, "mutating"], True), (SET, ["commands", 0, "effects"], "non_idempotent")]),
    ("mutating true with effects idempotent", True,
     [(SET, ["commands", 0, "mutating"], True), (SET, ["commands", 0, "effects"], "idempotent")]),
    ("no mutating with effects idempotent", True, [(SET, ["commands", 0, "effects"], "idempotent")]),
    ("mutating as a string", False, [(SET, ["commands", 0, "mutating"], "false")]),
    # Types of output fields and nested type nodes.
    ("array field without items", False,
     [(SET, ["commands", 0, "output_fields"], [{"name": "tags", "type": "array"}])]),
    ("array field with items", True,
     [(SET, ["commands", 0, "output_fields"],
       [{"name": "tags", "type": "array", "items": {"type": "string"}}])]),
    ("string field with fields", False,
     [(SET, ["commands", 0, "output_fields"],
       [{"name": "id", "type": "string", "fields": [{"name": "x", "type": "string"}]}])]),
    ("string field with items", False,
     [(SET, ["commands", 0, "output_fields"],
       [{"name": "id", "type": "string", "items": {"type": "string"}}])]),
    ("object field with fields", True,
     [(SET, ["commands", 0, "output_fields"],
       [{"name": "owner", "type": "object", "nullable": True,
         "fields": [{"name": "login", "type": "string"}]}])]),
    ("type written as integer | null", False,
     [(SET, ["commands", 0, "output_fields"], [{"name": "id", "type": "integer | null"}])]),
    ("field without name", False, [(SET, ["commands", 0, "output_fields"], [{"type": "integer"}])]),
    ("nested array items without items", False,
     [(SET, ["commands", 0, "output_fields"],
       [{"name": "grid", "type": "array", "items": {"type": "array"}}])]),
    ("items node of type string with fields", False,
     [(SET, ["commands", 0, "output_fields"],
       [{"name": "ids", "type": "array",
         "items": {"type": "string", "fields": [{"name": "x", "type": "string"}]}}])]),
    ("items node of type object with fields", True,
     [(SET, ["commands", 0, "output_fields"],
       [{"name": "rows", "type": "array",
         "items": {"type": "object", "fields": [{"name": "x", "type": "string"}]}}])]),
    ("field nested in an object with a bad type", False,
     [(SET, ["commands", 0, "output_fields"],
       [{"name": "owner", "type": "object", "fields": [{"name": "login", "type": "text"}]}])]),
    # Errors.
    ("error exit_code 0", False, [(SET, ["errors", 0, "exit_code"], 0)]),
    ("error exit_code 256", False, [(SET, ["errors", 0, "exit_code"], 256)]),
    ("error exit_code 255", True, [(SET, ["errors", 0, "exit_code"], 255)]),
    ("error exit_code as a string", False, [(SET, ["errors", 0, "exit_code"], "3")]),
    ("error without exit_code", False, [(DEL, ["errors", 0, "exit_code"])]),
    ("error kind with an upper-case letter", False, [(SET, ["errors", 0, "kind"], "notFound")]),
    ("error kind beginning with a digit", False, [(SET, ["errors", 0, "kind"], "4xx")]),
    ("two error kinds sharing exit code 3", True,
     [(SET, ["errors", 1], {"kind": "exists", "exit_code": 3})]),
    # Arguments.
    ("arg short with two characters", False,
     [(SET, ["global_args"], [{"name": "--output", "type": "string", "short": "-ou"}])]),
    ("arg short without a dash", False,
     [(SET, ["global_args"], [{"name": "--output", "type": "string", "short": "o"}])]),
    ("arg short -o", True,
     [(SET, ["global_args"], [{"name": "--output", "type": "string", "short": "-o"}])]),
    ("arg type duration", True,
     [(SET, ["commands", 0, "args"], [{"name": "--timeout", "type": "duration", "default": 30}])]),
    ("arg without type", False, [(SET, ["commands", 0, "args"], [{"name": "--timeout"}])]),
    # Unknown keys stay valid everywhere.
    ("unknown x- keys at every level", True,
     [(SET, ["x-vendor"], {"a": 1}), (SET, ["commands", 0, "x-note"], "n"),
      (SET, ["commands", 0, "output_fields", 0, "x-unit"], "ms"),
      (SET, ["errors", 0, "x-doc"], "d"), (SET, ["extensions"], {"any": True}),
      (SET, ["commands", 2, "pagination", "x-max"], 100)]),
    ("a misspelled key is only a lint", True, [(SET, ["commands", 0, "mutatng"], True)]),
]


def apply_edits(doc, edits):
    doc = copy.deepcopy(doc)
    for edit in edits:
        path = edit[1]
        parent = doc
        for key in path[:-1]:
            parent = parent[key]
        last = path[-1]
        if edit[0] == DEL:
            del parent[last]
        elif isinstance(parent, list) and last == len(parent):
            parent.append(edit[2])
        else:
            parent[last] = edit[2]
    return doc


def walk(node):
    yield node
    if isinstance(node, dict):
        for value in node.values():
            yield from walk(value)
    elif isinstance(node, list):
        for value in node:
            yield from walk(value)


def check_layout(text, schema):
    problems = []
    if "{{" in text:
        problems.append("the template contains '{{', which the renderer could take for a placeholder")
    if not text.endswith("}\n") or text.endswith("\n\n"):
        problems.append("the file must end with the closing brace and exactly one newline")
    if "\r" in text:
        problems.append("the file must use LF line ends")
    if list(schema) != TOP_LEVEL_ORDER:
        problems.append(f"top-level members are {list(schema)}")
    if list(schema.get("$defs", {})) != DEFS_ORDER:
        problems.append(f"definitions are {list(schema.get('$defs', {}))}")
    if schema.get("$schema") != "https://json-schema.org/draft/2020-12/schema":
        problems.append("$schema is not the draft 2020-12 meta-schema")
    if list(schema.get("x-standard-error-kinds", {}).get("kinds", {})) != RESERVED_KINDS:
        problems.append("reserved error kinds are missing or out of order")
    rules = schema.get("x-checker-rules", {})
    for key, names in (("errors", CHECKER_RULES), ("lints", LINTS)):
        got = [rule.split(": ", 1)[0] for rule in rules.get(key, [])]
        if got != names:
            problems.append(f"x-checker-rules {key} are {got}")
    for node in walk(schema):
        if isinstance(node, dict) and node.get("additionalProperties") is False:
            problems.append("an object is closed with additionalProperties false")
        if isinstance(node, dict) and node.get("not") == {} and "description" not in node:
            problems.append("a forbidden key has no description saying why")
    command = schema["$defs"]["command"]
    if len(command.get("allOf", [])) != 9:
        problems.append("a command must carry exactly nine conditional rules")
    return problems


def errors_of(validator, doc):
    return [f"{e.message} at /{'/'.join(map(str, e.absolute_path))}"
            for e in validator.iter_errors(doc)]


def main(argv):
    if len(argv) not in (2, 3):
        print(__doc__, file=sys.stderr)
        return 2
    text = pathlib.Path(argv[1]).read_text(encoding="utf-8")
    schema = json.loads(text)
    failures = [f"layout: {p}" for p in check_layout(text, schema)]

    meta_errors = [e.message for e in Draft202012Validator(
        Draft202012Validator.META_SCHEMA).iter_errors(schema)]
    failures += [f"meta-schema: {m}" for m in meta_errors]
    if meta_errors:
        return report(failures)

    validator = Draft202012Validator(schema)
    for label, expect_valid, edits in CASES:
        errors = errors_of(validator, apply_edits(BASE, edits))
        if expect_valid and errors:
            failures.append(f"case '{label}' should be valid: {errors}")
        elif not expect_valid and not errors:
            failures.append(f"case '{label}' should be invalid but validates")

    contracts = sorted(DATA.glob("*-contract.json"))
    if len(argv) == 3:
        contracts.append(pathlib.Path(argv[2]))
    for path in contracts:
        for error in errors_of(validator, json.loads(path.read_text(encoding="utf-8"))):
            failures.append(f"contract {path.name}: {error}")

    print(f"{len(CASES)} cases and {len(contracts)} contracts checked")
    return report(failures)


def report(failures):
    for failure in failures:
        print(f"FAIL {failure}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
