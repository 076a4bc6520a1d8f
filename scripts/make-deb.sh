#!/usr/bin/env bash
# Builds the Debian packages with CPack:
#   build/release-bundle/kindprobe_VERSION-1_ARCH.deb          the command
#   build/release-bundle/libkindprobe1_VERSION-1_ARCH.deb      the library
#   build/release-bundle/libkindprobe-dev_VERSION-1_ARCH.deb   its development files
#   build/release-bundle/python3-kindprobe_VERSION-1_all.deb    the Python package
# from a release build in $KINDPROBE_DEB_BUILD (default build/release-deb) installed under /usr.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=${KINDPROBE_JOBS:-2}
directory=${KINDPROBE_DEB_BUILD:-build/release-deb}
out=build/release-bundle

# Debian's hardening flags, immediate binding included: fortified string and memory functions,
# strong stack protection, a read-only relocation table resolved at start.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cppflags=$(dpkg-buildflags --get CPPFLAGS)
cflags="$(dpkg-buildflags --get CFLAGS) $cppflags"
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $cppflags"
ldflags=$(dpkg-buildflags --get LDFLAGS)

printf '\n==== build: Debian package (%s)\n' "$directory"
cmake -S . -B "$directory" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
      -DKINDPROBE_DEBIAN_PACKAGE=ON -DKINDPROBE_WERROR=ON -DBUILD_TESTING=OFF \
      -DKINDPROBE_BENCH=OFF "-DCMAKE_C_FLAGS=$cflags" "-DCMAKE_CXX_FLAGS=$cxxflags" \
      "-DCMAKE_EXE_LINKER_FLAGS=$ldflags" "-DCMAKE_SHARED_LINKER_FLAGS=$ldflags" >/dev/null
cmake --build "$directory" -j "$jobs" --target kindprobe kindprobe_shared kindprobe_man_page \
  kindprobe_library_man_page \
  kindprobe_debian_changelog
rm -rf "$directory/packages"
(cd "$directory" && cpack -G DEB >/dev/null)
mkdir -p "$out"
for package in kindprobe libkindprobe1 libkindprobe-dev python3-kindprobe; do
  deb=$(find "$directory/packages" -maxdepth 1 -name "${package}_*.deb")
  [ -n "$deb" ] || { echo "make-deb.sh: cpack made no $package package" >&2; exit 1; }
  cp "$deb" "$out/"
  echo "$out/$(basename "$deb")"
done
