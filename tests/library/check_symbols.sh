#!/usr/bin/env bash
# dpkg-gensymbols compares the library's exports with the symbols file the package ships; any
# symbol added, lost or moved to another version node fails.
#   check_symbols.sh LIBRARY SYMBOLS_FILE VERSION
set -euo pipefail
library=$1 symbols=$2 version=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/package/usr/lib" "$work/debian"
cp "$library" "$work/package/usr/lib/libkindprobe.so.1"
cp "$symbols" "$work/debian/libkindprobe1.symbols"
cd "$work"
dpkg-gensymbols -plibkindprobe1 -v"$version" -Ppackage -Idebian/libkindprobe1.symbols \
  -Ogenerated.symbols -c4
