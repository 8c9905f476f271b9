#!/usr/bin/env bash
# The whole test suite on a fresh machine: installs what it needs (apt-get, so as root, and a
# C++17 compiler), builds and installs the package, runs the format, lint and type checks
# (tools/lint.sh), builds the documentation (every example and command of its pages runs, warnings are
# errors), pytest (then again without the real files of ../shared), then the C++ tests,
# plain and under AddressSanitizer + UndefinedBehaviorSanitizer, then a minute of fuzzing each of the
# reader and of the numerics. Every stage runs even when an earlier one failed; the last line counts
# the tests of all of them: "tests: N passed, N failed" (the lint and fuzz stages count as one test
# each). Exit status 1 if any failed.
set -euo pipefail
cd "$(dirname "$0")/.."

# Chromium and its driver: the browser tests open the 3-D view and the documentation's pages in them.
if ! { [ -f /usr/include/gtest/gtest.h ] && [ -d /usr/include/eigen3 ] && command -v chromium >/dev/null &&
  command -v chromedriver >/dev/null; }; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq libgtest-dev libeigen3-dev chromium chromium-driver >/dev/null
fi
command -v ninja >/dev/null && command -v cmake >/dev/null || python3 -m pip install -q cmake ninja
python3 -m pip install -q --disable-pip-version-check ".[test,lint]"

jobs=$(nproc)
logs=build/test-logs
mkdir -p "$logs"
passed=0 failed=0

# stage NAME COMMAND...: runs COMMAND with its output shown and kept in $logs/NAME.log, then adds
# the counts of the runner's closing line (pytest's or ctest's); a stage that failed without
# one (a build error, a fuzz finding) counts as one failed test, one that passed as one passed.
stage() {
  local name=$1 status=0 log=$logs/$1.log counts
  shift
  "$@" 2>&1 | tee "$log" || status=$?
  if counts=$(grep -E '^[0-9]+% tests passed(, [0-9]+ tests? failed)? out of [0-9]+' "$log" | tail -n 1) &&
    [ -n "$counts" ]; then
    # "100% tests passed out of 40", "95% tests passed, 2 tests failed out of 40"
    local bad total
    bad=$(sed -nE 's/.* ([0-9]+) tests? failed .*/\1/p' <<<"$counts")
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$counts")
    passed=$((passed + total - ${bad:-0})) failed=$((failed + ${bad:-0}))
  elif counts=$(grep -E '^(=+ )?[0-9]+ (passed|failed|errors?|skipped)' "$log" | tail -n 1) && [ -n "$counts" ]; then
    # "3 failed, 785 passed, 12 skipped, 1 error in 76.00s"
    passed=$((passed + $(awk -F'[ ,]+' '{for (i = 1; i < NF; i++) if ($(i + 1) == "passed") n += $i} END {print n + 0}' <<<"$counts")))
    failed=$((failed + $(awk -F'[ ,]+' '{for (i = 1; i < NF; i++) if ($(i + 1) ~ /^(failed|errors?)$/) n += $i} END {print n + 0}' <<<"$counts")))
  elif [ "$status" -eq 0 ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
  fi
  if [ "$status" -ne 0 ]; then
    echo "$name: failed (exit status $status; its output is in $log)"
    [ "$failed" -gt 0 ] || failed=1
  fi
}

# The documentation: the pages, the API reference and the gallery (its examples run), warnings as
# errors and every cross-reference checked (-n); then every Python block of the pages, run (doctest).
docs() {
  rm -rf docs/_build docs/gallery
  python3 -m sphinx -W -n -q -b html docs docs/_build/html &&
    python3 -m sphinx -W -n -q -b doctest docs docs/_build/doctest && tail -n 5 docs/_build/doctest/output.txt
}
pytest_all() { python3 -m pytest tests/python -q -p no:cacheprovider; }
# Once more as on a fresh clone without ../shared: every test that reads it must skip, with its reason.
pytest_without_shared() { TESVARIN_SHARED="$PWD/build/no-shared" python3 -m pytest tests/python -q -p no:cacheprovider; }
# The C++ builds are the presets of CMakePresets.json: plain, and under the sanitizers.
cpp_preset() { cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j "$jobs" && ctest --preset "$1" -j "$jobs"; }
cpp_plain() { cpp_preset cpp; }
cpp_sanitized() { cpp_preset sanitize; }
# Coverage-guided fuzzing of the reader and of the numerics, a minute each: a crash, a sanitizer
# report, a hang, a leak, memory far beyond the input's size or a non-finite result fails the run.
fuzz() { bash tools/fuzz/run.sh --ci 60; }

stage lint bash tools/lint.sh
stage docs docs
stage pytest pytest_all
stage pytest-without-shared pytest_without_shared
stage cpp cpp_plain
stage sanitize cpp_sanitized
stage fuzz fuzz

echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
