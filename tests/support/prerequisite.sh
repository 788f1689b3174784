# Sourced by the long suites (acceptance and the release rehearsals): what a missing
# prerequisite does, and the python3 they start.
#
# On a developer's machine a suite whose tools are missing is skipped (exit 77, which ctest
# reports as skipped). Under CI (CI=true, as GitHub Actions and most CI systems set it) the
# machine was set up to run every suite, so a missing prerequisite fails instead: a suite that
# skips there proves nothing, and a skip is easy to miss in a green run.
missing_prerequisite() {
  if [[ ${CI:-} == true ]]; then
    echo "FAIL: $* (CI=true: a missing prerequisite fails the run instead of skipping it)"
    exit 1
  fi
  echo "SKIP: $*"
  exit 77
}

# The tests' python3: the one tests/CMakeLists.txt found (TARNWICK_PYTHON3), else PATH's; passed
# on to the scripts the suite starts.
python=$(command -v "${TARNWICK_PYTHON3:-python3}") || missing_prerequisite "python3 is not installed"
export TARNWICK_PYTHON3=$python
