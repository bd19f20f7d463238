#!/bin/sh
# The editor and playground in headless Chromium: the package's wasm bundle (built when js/dist
# lacks it, as js/run_tests.sh builds it), the native fcl for the comparison, the npm packages,
# the bundles, then the browser tests. Screenshots and measures go to build-web-native/web-test.
# Needs: apt-get install -y chromium fonts-ipafont-gothic (and the wasm build's packages).
set -eu
cd "$(dirname "$0")/.."
if [ ! -f js/dist/fclib_module.mjs ]; then
  rm -rf build-wasm/fclib_module.js
  cmake --workflow --preset wasm
fi
cmake -S . -B build-web-native -G Ninja -DFCLIB_TESTS=OFF >/dev/null
cmake --build build-web-native --target fcl
(cd js/editor && npm ci --no-audit --no-fund --loglevel=error && node build.mjs)
node --test web/test/package.test.mjs web/test/playground.test.mjs
