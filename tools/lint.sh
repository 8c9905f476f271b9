#!/usr/bin/env bash
# Format, lint and type checks of the whole tree, with the versions pinned by the `lint` extra
# (pip install ".[lint]"): clang-format for C and C++, ruff (lint and format) for Python, mypy
# --strict for the package and its stubs, and that every listed mutation fault still applies. The
# configurations are .clang-format and pyproject.toml. Exit status 1 if any check fails; every
# check runs.
#
#   bash tools/lint.sh          check
#   bash tools/lint.sh --fix    rewrite what the formatters and ruff's safe fixes can mend
set -uo pipefail
cd "$(dirname "$0")/.."

fix=0
[ "${1:-}" = "--fix" ] && fix=1
# The wheel's binary, not whatever clang-format the system has: versions format differently.
clang_format=$(python3 -c 'import clang_format; print(clang_format.get_executable("clang-format"))') || {
  echo 'clang-format is missing: pip install ".[lint]"' >&2
  exit 1
}
mapfile -t sources < <(git ls-files '*.c' '*.cpp' '*.h' '*.hpp')
status=0
check() {
  local name=$1
  shift
  if "$@"; then echo "$name: clean"; else echo "$name: FAILED" && status=1; fi
}
if [ "$fix" = 1 ]; then
  "$clang_format" -i "${sources[@]}"
  python3 -m ruff check --fix --quiet . || true
  python3 -m ruff format --quiet .
fi
check clang-format "$clang_format" --dry-run --Werror "${sources[@]}"
check "ruff check" python3 -m ruff check --quiet .
check "ruff format" python3 -m ruff format --check --quiet .
check "mypy --strict" python3 -m mypy
# Code that moves must take its listed faults along, or the mutation run loses them.
check "mutation faults apply" python3 tools/mutation/run.py --check
exit "$status"
