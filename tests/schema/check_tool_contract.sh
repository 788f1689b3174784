#!/usr/bin/env bash
# The contract that `tarnwick schema` prints validates against the shipped schema file, and is
# byte for byte the reviewed copy in data/ (a change to the contract must update both).
set -euo pipefail
tarnwick=${1:?usage: check_tool_contract.sh TARNWICK SCHEMA_TEMPLATE}
template=${2:?usage: check_tool_contract.sh TARNWICK SCHEMA_TEMPLATE}
here=$(cd "$(dirname "$0")" && pwd)
python=${TARNWICK_PYTHON3:-python3}  # the tests' python3 (tests/CMakeLists.txt), else PATH's
out=$(mktemp)
trap 'rm -f "$out"' EXIT
"$tarnwick" schema > "$out"
"$python" "$here/check_schema.py" "$template" "$out"
cmp "$out" "$here/data/tarnwick-contract.json"
echo "tarnwick schema validates and matches data/tarnwick-contract.json"
