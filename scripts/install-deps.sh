#!/usr/bin/env bash
# Installs the Debian packages a job needs, only those that are missing.
#   scripts/install-deps.sh build     what ./run.sh needs
#   scripts/install-deps.sh windows   the MinGW builds and the Wine tests
#   scripts/install-deps.sh all       everything ./test.sh needs (native, fuzzing, Windows, Wine)
set -euo pipefail

build=(cmake ninja-build g++ make libc6-dev pkg-config)
tests=(clang libclang-rt-14-dev libgtest-dev libgmock-dev googletest libbenchmark-dev
       ffmpeg file libmagic-dev time python3 valgrind dpkg-dev lintian)
windows=(g++-mingw-w64-x86-64-win32 g++-mingw-w64-i686-win32 mingw-w64-tools
         binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 libwine-dev wine64 wine32:i386 locales
         python3 wixl msitools)

case "${1:-build}" in
  build) wanted=("${build[@]}") ;;
  windows) wanted=("${build[@]}" "${windows[@]}") ;;
  all) wanted=("${build[@]}" "${tests[@]}" "${windows[@]}") ;;
  *) echo "usage: $0 build|windows|all" >&2; exit 2 ;;
esac

missing=()
for package in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
# 32-bit Wine comes from the i386 architecture, which a fresh machine does not list yet.
if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
