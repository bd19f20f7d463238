#!/bin/bash
# The Python package's tests: builds what they need in BUILD_DIR (configuring it like the
# default preset when it is new), installs the package offline into a scratch environment and
# runs pytest in both number modes.
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: bash python/run_tests.sh BUILD_DIR" >&2
  exit 2
fi
here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
build="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
python=/usr/bin/python3

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFCLIB_WERROR=ON
fi
cmake --build "$build" --target fclib fclib_batch fcl

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
cp -r "$here" "$scratch/source"
"$python" -m venv --system-site-packages "$scratch/venv"
"$scratch/venv/bin/python" -m pip install --quiet --no-index --no-build-isolation "$scratch/source"

export FCLIB_LIBRARY="$build/libfclib.so" FCLIB_FCL="$build/tools/fcl/fcl"
cd "$scratch"
for mode in double text; do
  echo "== number mode: $mode"
  FCLIB_TEST_MODE=$mode "$scratch/venv/bin/python" -m pytest -q -p no:cacheprovider "$here/tests"
done
