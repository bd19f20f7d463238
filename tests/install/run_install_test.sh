#!/usr/bin/env bash
# Installs the build into a temporary prefix, then builds and runs a C and a C++ host against
# it, once through the CMake package and once through pkg-config. Without FCLIB_PROFILE_DIR the
# shared library finds the profile installed beside it: the C host gets the era 令和.
#   usage: run_install_test.sh BUILD_DIR CONFIGURED_PROFILE_DIR
set -euo pipefail
build=$1
configured_dir=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
export LD_LIBRARY_PATH=$prefix/lib:${LD_LIBRARY_PATH:-}
unset FCLIB_PROFILE_DIR
# 令和060401 in code page 932.
reiwa=$(printf 'era \x97\xdf\x98\x61060401')
test -x "$prefix/bin/fcl"
test -f "$prefix/etc/fclib/ORBISRPT.INI"
for document in README.md CHANGELOG.md LICENSE language.md; do test -f "$prefix/share/doc/fclib/$document"; done
"$prefix/bin/fcl" --version
# fcl's manual page and the example report's files, where the installed fcl looks for them.
test -f "$prefix/share/man/man1/fcl.1"
if command -v man >/dev/null; then
  MANPATH="$prefix/share/man" man -w fcl | grep -q -F "$prefix/share/man"
  MANPATH="$prefix/share/man" MANPAGER=cat man fcl 2>/dev/null | grep -q "fcl lint"
fi
test -f "$prefix/share/fclib/examples/orders.csv" && test -f "$prefix/share/fclib/examples/orders.formulas"

cmake -S "$here" -B "$work/cmake-build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
"$work/cmake-build/consumer_c" | grep -a -x -F "$reiwa" >/dev/null ||
  { echo "install test: the C host did not read the era 令和 from $prefix/etc/fclib" >&2; exit 1; }
"$work/cmake-build/consumer_cpp"

export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
cc -o "$work/pc_c" "$here/consumer.c" $(pkg-config --cflags --libs fclib)
c++ -std=c++17 -o "$work/pc_cpp" "$here/consumer.cpp" $(pkg-config --cflags --libs fclib)
"$work/pc_c" | grep -a -x -F "$reiwa" >/dev/null
"$work/pc_cpp"

# Static hosts: the archive through the CMake package and through pkg-config's fclib-static
# (which defines FCLIB_STATIC), and a wholly static program from fclib's Libs.private. None
# needs libfclib.so; they read the profile from the configuration directory or, as here,
# FCLIB_PROFILE_DIR.
pkg-config --cflags fclib-static | grep -q -e '-DFCLIB_STATIC' ||
  { echo "install test: pkg-config --cflags fclib-static does not define FCLIB_STATIC" >&2; exit 1; }
cc -Wall -Wextra -Werror -o "$work/pc_c_static" "$here/consumer.c" $(pkg-config --cflags --libs fclib-static)
cc -static -o "$work/pc_c_all_static" "$here/consumer.c" $(pkg-config --static --cflags --libs fclib)
for host in "$work/cmake-build/consumer_c_static" "$work/pc_c_static" "$work/pc_c_all_static"; do
  if readelf -d "$host" | grep -q 'NEEDED.*libfclib'; then
    echo "install test: $host needs libfclib.so" >&2
    exit 1
  fi
  FCLIB_PROFILE_DIR=$prefix/etc/fclib env -u LD_LIBRARY_PATH "$host" | grep -a -x -F "$reiwa" >/dev/null ||
    { echo "install test: the static host $host did not run or did not read the era 令和" >&2; exit 1; }
done

# The README's C example and its compile line, and the compile lines of examples/README.md,
# as written, for this prefix; the programs run without LD_LIBRARY_PATH: the rpath finds the
# library.
root=$(cd "$here/../.." && pwd)
mkdir "$work/readme" "$work/examples"
awk '/^## Use it from C$/ { section = 1; next } /^## / { section = 0 }
     section && /^```c$/ { code = 1; next } section && /^```$/ { code = 0 }
     code { print > "'"$work/readme/host.c"'" }
     section && /^    cc / { sub(/^    /, ""); print > "'"$work/readme/build.sh"'" }' "$root/README.md"
sed -i "s|/usr/local|$prefix|g" "$work/readme/build.sh"
(cd "$work/readme" && bash -e build.sh && env -u LD_LIBRARY_PATH ./host) | grep -x 51 >/dev/null ||
  { echo "install test: the README's C example did not build or run as its compile line says" >&2; exit 1; }
cp "$root/examples/"*.c "$root/examples/"*.cpp "$work/examples/"
sed -n '/^    prefix=\/usr\/local$/,/^    \.\/group_totals$/{s/^    //;p}' "$root/examples/README.md" |
  sed "s|^prefix=/usr/local$|prefix=$prefix|" >"$work/examples/build.sh"
{ (cd "$work/examples" && env -u LD_LIBRARY_PATH bash -e build.sh) >"$work/examples/group_totals.out" &&
  cmp -s "$work/examples/group_totals.out" "$root/tests/examples/group_totals.expected"; } ||
  { echo "install test: examples/README.md's compile lines did not give a group_totals that runs" >&2; exit 1; }

# Moved away, the installed profile no longer gives 令和 (unless the configuration directory
# fixed at configure time holds one of its own): it was that file the library read.
mv "$prefix/etc/fclib/ORBISRPT.INI" "$work/ORBISRPT.INI"
if ! ls "$configured_dir"/* >/dev/null 2>&1 && "$work/pc_c" | grep -a -x -F "$reiwa" >/dev/null; then
  echo "install test: the era 令和 came from elsewhere than $prefix/etc/fclib" >&2
  exit 1
fi
echo "install test: CMake and pkg-config consumers in C and C++ ran, shared and static; the installed profile was found beside the library; the README's and examples/README.md's compile lines work"
