#!/usr/bin/env bash
# Installs a build into a temporary prefix and builds two programs against it, as a Linux
# programmer would: a C99 program with pkg-config and a CMake project with find_package. The
# tree is moved once in between, so the package files must find it wherever it lies.
#   check_installed_tree.sh BUILD_DIR C_COMPILER SAMPLE.avi
set -euo pipefail
build=$1 cc=$2 sample=$3
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "check_installed_tree: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$work/first" >/dev/null
for file in bin/kindprobe include/kindprobe/kindprobe.h share/man/man1/kindprobe.1.gz; do
  [ -f "$work/first/$file" ] || fail "not installed: $file"
done
[ ! -e "$work/first/include/kindprobe/engine" ] || fail "engine headers were installed"
pcdir=$(dirname "$(find "$work/first" -name kindprobe.pc)")
libdir=$(find "$work/first" -name 'libkindprobe.so.1' -printf '%h\n')
[ -L "$libdir/libkindprobe.so" ] || fail "no libkindprobe.so link"

# Run a consumer and check its answer for the sample.
expect_avi() {
  local out
  out=$("$@" "$sample") || fail "$1 failed"
  grep -qx "$sample: AVI文件 (TypeID 4, InvalidMedia)" <<<"$out" || fail "$1 printed: $out"
}

# Moved after installing: nothing may still point at the first place.
mv "$work/first" "$work/moved"
pcdir=${pcdir/$work\/first/$work/moved}
libdir=${libdir/$work\/first/$work/moved}
export PKG_CONFIG_PATH=$pcdir
[ "$(pkg-config --modversion kindprobe)" = "$("$work/moved/bin/kindprobe" --version | cut -d' ' -f2)" ] ||
  fail "pkg-config version differs from kindprobe --version"
# shellcheck disable=SC2046
"$cc" -std=c99 -Wall -Wextra -Wpedantic -Werror "$here/consumer.c" \
  $(pkg-config --cflags --libs kindprobe) -o "$work/pkgconfig-consumer"
expect_avi env LD_LIBRARY_PATH="$(pkg-config --variable=libdir kindprobe)" "$work/pkgconfig-consumer"

cmake -S "$here/project" -B "$work/cmake-consumer" -DCMAKE_C_COMPILER="$cc" \
  -DCMAKE_PREFIX_PATH="$work/moved" >/dev/null
cmake --build "$work/cmake-consumer" >/dev/null
expect_avi "$work/cmake-consumer/consumer"
echo "pkg-config and find_package consumers built and ran against $work/moved"
