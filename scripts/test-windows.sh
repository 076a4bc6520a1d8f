#!/usr/bin/env bash
# Windows builds and tests: both MinGW builds, the 64-bit one's tests under 64-bit Wine and the
# 32-bit one's under 32-bit Wine (private prefixes inside each build tree), the two suites at
# the same time. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=${KINDPROBE_JOBS:-$(nproc)}
status=0

step() { printf '\n==== %s\n' "$*"; }

scripts/install-deps.sh windows

# Everything is built, and a target that fails does not stop the others: the Wine tests of
# every target that did build still run, and the failure is reported at the end.
presets=(mingw-x86_64 mingw-i686)
for preset in "${presets[@]}"; do
  step "build: $preset"
  cmake --preset "$preset" >/dev/null
  if ! cmake --build --preset "$preset" -j "$jobs" -- -k 0; then
    echo "$preset: some targets failed to build (see above)" >&2
    status=1
  fi
done

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
# development builds' tests.
step "installer tests (both packages), in the background"
msi_log=$(mktemp)
scripts/test-msi.sh >"$msi_log" 2>&1 &
msi_tests=$!

# The two suites share nothing (build trees, prefixes, wineservers), so they run side by side;
# each one's output is shown whole once both are done.
step "tests: mingw-x86_64 under 64-bit Wine and mingw-i686 under 32-bit Wine, side by side"
pids=()
for preset in "${presets[@]}"; do
  (
    started=$SECONDS
    result=0
    ctest --preset "$preset" -j "$jobs" >"build/$preset/wine-tests.log" 2>&1 || result=$?
    echo "$preset: Wine tests took $((SECONDS - started)) s" >>"build/$preset/wine-tests.log"
    exit $result
  ) &
  pids+=($!)
done
for index in "${!presets[@]}"; do
  wait "${pids[$index]}" || status=1
  step "tests: ${presets[$index]}"
  cat "build/${presets[$index]}/wine-tests.log"
done

wait "$msi_tests" || status=1
step "installer tests"
cat "$msi_log"
rm -f "$msi_log"
exit $status
