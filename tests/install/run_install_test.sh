#!/usr/bin/env bash
# Installs the build into a temporary prefix, then builds and runs a C and a C++ host against
# it, once through the CMake package and once through pkg-config.
#   usage: run_install_test.sh BUILD_DIR
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
export LD_LIBRARY_PATH=$prefix/lib:${LD_LIBRARY_PATH:-}
test -x "$prefix/bin/fcl"
test -f "$prefix/etc/fclib/ORBISRPT.INI"
"$prefix/bin/fcl" --version

cmake -S "$here" -B "$work/cmake-build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
"$work/cmake-build/consumer_c"
"$work/cmake-build/consumer_cpp"

export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
cc -o "$work/pc_c" "$here/consumer.c" $(pkg-config --cflags --libs fclib)
c++ -std=c++17 -o "$work/pc_cpp" "$here/consumer.cpp" $(pkg-config --cflags --libs fclib)
"$work/pc_c"
"$work/pc_cpp"
echo "install test: CMake and pkg-config consumers in C and C++ ran"
