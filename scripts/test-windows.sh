#!/usr/bin/env bash
# Windows builds and tests: the 64-bit MinGW build with its tests run under Wine (a private
# prefix inside the build tree), and the 32-bit shipped build, whose exports are checked.
# Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=${KINDPROBE_JOBS:-$(nproc)}
status=0

step() { printf '\n==== %s\n' "$*"; }

scripts/install-deps.sh windows

# Everything is built, and a target that fails does not stop the others: the Wine tests of
# every target that did build still run, and the failure is reported at the end.
step "build: mingw-x86_64 (runs under Wine)"
cmake --preset mingw-x86_64 >/dev/null
if ! cmake --build --preset mingw-x86_64 -j "$jobs" -- -k 0; then
  echo "mingw-x86_64: some targets failed to build (see above)" >&2
  status=1
fi

step "build: mingw-i686 (shipped)"
cmake --preset mingw-i686 >/dev/null
cmake --build --preset mingw-i686 -j "$jobs"

step "exports of the 32-bit Kindprobe.dll"
exports=$(i686-w64-mingw32-objdump -p build/mingw-i686/bin/Kindprobe.dll |
          sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p')
echo "$exports"
for name in DllGetClassObject DllCanUnloadNow DllRegisterServer DllUnregisterServer; do
  grep -qE "\] ${name}\$" <<<"$exports" || { echo "missing undecorated export: $name" >&2; exit 1; }
done
if grep -q '@' <<<"$exports"; then
  echo "decorated exports found" >&2
  exit 1
fi

# The Chinese locale of the Windows Script Host tests, the release bundle, and the integrators'
# kit built from the unpacked bundle and run under 32- and 64-bit Wine.
scripts/test-windows-registration.sh || status=1
scripts/test-release-kit.sh || status=1

# The installer tests use the release builds and prefixes of their own: they run beside the
# development build's tests, and so do the console tests of the 32-bit command (the 64-bit one
# has them among the development build's tests).
step "installer tests (both packages) and 32-bit console tests, in the background"
msi_log=$(mktemp)
release_i686=${KINDPROBE_RELEASE_BUILD_ROOT:-build/release}-i686
{
  msi_status=0
  scripts/test-msi.sh || msi_status=1
  printf '\n==== console tests: 32-bit kindprobe.exe under 32-bit Wine\n'
  python3 tests/console/check_console.py --wine /usr/lib/wine/wine --winearch win32 \
    --prefix "$PWD/$release_i686/wineprefix-console" \
    --exe "$release_i686/cli/kindprobe.exe" --samples samples || msi_status=1
  exit $msi_status
} >"$msi_log" 2>&1 &
msi_tests=$!

step "tests: mingw-x86_64, every test under Wine"
ctest --preset mingw-x86_64 -j "$jobs" || status=1

wait "$msi_tests" || status=1
cat "$msi_log"
rm -f "$msi_log"
exit $status
