#!/bin/sh
# The JavaScript package's whole test run: the wasm preset build, the native library for the
# byte comparison, the Node tests (API, every case file, npm pack) and the measures.
set -eu
cd "$(dirname "$0")/.."
export NODE_PATH=/usr/share/nodejs
rm -rf build-wasm/fclib_module.js js/dist   # relinks, and the bundle step runs with the link
cmake --workflow --preset wasm
cmake -S . -B build-js-native -G Ninja -DCMAKE_BUILD_TYPE=Release -DFCLIB_TESTS=OFF >/dev/null
cmake --build build-js-native --target fclib_static
for tool in js/test/native_dump.c js/bench/native_bench.c; do
  cc -O2 -std=gnu11 "$tool" -Iinclude -DFCLIB_STATIC build-js-native/libfclib.a -lstdc++ -lm -lpthread \
    -o "build-js-native/$(basename "$tool" .c)"
done
empty_profile_dir=$(mktemp -d)
trap 'rm -rf "$empty_profile_dir"' EXIT
cd js
FCLIB_PROFILE_DIR=$empty_profile_dir FCLIB_NATIVE_DUMP=../build-js-native/native_dump node --test test/
FCLIB_NATIVE_BENCH=../build-js-native/native_bench node bench/bench.mjs
