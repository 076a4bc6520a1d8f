#!/usr/bin/env bash
# Installs the Debian packages a job needs, only those that are missing.
#   scripts/install-deps.sh build     what ./run.sh needs
#   scripts/install-deps.sh windows   the MinGW builds and the Wine tests
#   scripts/install-deps.sh all       everything ./test.sh needs (native, fuzzing, Windows, Wine)
set -euo pipefail

build=(cmake ninja-build g++ make libc6-dev pkg-config)
tests=(clang libclang-rt-14-dev libgtest-dev libgmock-dev googletest libbenchmark-dev
       ffmpeg file libmagic-dev time python3 python3-pytest python3-setuptools valgrind dpkg-dev
       lintian)
windows=(g++-mingw-w64-x86-64-win32 g++-mingw-w64-i686-win32 mingw-w64-tools
         binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 libwine-dev wine64 locales
         python3 wixl msitools)
# 32-bit Wine runs only the i686 suites, which are skipped without it: its install may fail
# (an i386 index out of step with amd64's) without failing the job.
wine32=(wine32:i386)

case "${1:-build}" in
  build) wanted=("${build[@]}"); optional=() ;;
  windows) wanted=("${build[@]}" "${windows[@]}"); optional=("${wine32[@]}") ;;
  all) wanted=("${build[@]}" "${tests[@]}" "${windows[@]}"); optional=("${wine32[@]}") ;;
  *) echo "usage: $0 build|windows|all" >&2; exit 2 ;;
esac

missing_of() {
  local package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
      echo "$package"
  done
}
mapfile -t missing < <(missing_of "${wanted[@]}")
mapfile -t missing_optional < <(missing_of "${optional[@]}")
[ ${#missing[@]} -eq 0 ] && [ ${#missing_optional[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
# 32-bit Wine comes from the i386 architecture, which a fresh machine does not list yet.
if [ ${#missing_optional[@]} -gt 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
# A mirror caught mid-sync fails one index now and then ("File has unexpected size"): try
# again, and if one index still fails, install from the lists that did arrive; the install
# itself says so if a package is really missing.
for attempt in 1 2 3; do
  $sudo apt-get update -qq && break
  if [ "$attempt" -lt 3 ]; then sleep 15; else
    echo "install-deps.sh: apt-get update failed; using the lists it has" >&2
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
if [ ${#missing_optional[@]} -gt 0 ]; then
  echo "Installing: ${missing_optional[*]}"
  $sudo apt-get install -y -qq --no-install-recommends "${missing_optional[@]}" >/dev/null ||
    echo "install-deps.sh: ${missing_optional[*]} could not be installed; the 32-bit suites will be skipped" >&2
fi
