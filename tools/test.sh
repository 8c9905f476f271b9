#!/usr/bin/env bash
# The whole test suite on a fresh machine: installs what it needs, builds and
# installs the package, runs pytest, then the C++ tests, plain and under
# AddressSanitizer + UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! { [ -f /usr/include/gtest/gtest.h ] && [ -d /usr/include/eigen3 ]; }; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq libgtest-dev libeigen3-dev >/dev/null
fi
command -v ninja >/dev/null && command -v cmake >/dev/null || python3 -m pip install -q cmake ninja
python3 -m pip install -q --disable-pip-version-check ".[test]"

python3 -m pytest tests/python -q -p no:cacheprovider

jobs=$(nproc)
cmake -S . -B build/cpp -G Ninja -DTESVARIN_TESTS=ON -DTESVARIN_PYTHON=OFF >/dev/null
cmake --build build/cpp -j "$jobs"
ctest --test-dir build/cpp --output-on-failure -j "$jobs"

cmake -S . -B build/sanitize -G Ninja -DTESVARIN_TESTS=ON -DTESVARIN_PYTHON=OFF -DTESVARIN_SANITIZE=ON \
  -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build/sanitize -j "$jobs"
ASAN_OPTIONS=halt_on_error=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --test-dir build/sanitize --output-on-failure -j "$jobs"

# Coverage-guided fuzzing of the reader for two minutes: a crash, a sanitizer report, a
# hang, a leak or memory far beyond the input's size fails the run.
bash tools/fuzz/run.sh --ci 120
