#!/usr/bin/env bash
# Windows builds and tests: both MinGW builds, the 64-bit one's tests under 64-bit Wine and the
# 32-bit one's under 32-bit Wine (private prefixes inside each build tree), the two suites at
# the same time, beside the installer tests. Where this machine cannot run 32-bit programs
# (scripts/lib/wine32.sh), the i686 build is still made and checked without running it, and
# its suites are recorded as skipped with the reason. Exits non-zero if any stage failed.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/stages.sh
source scripts/lib/wine32.sh

jobs=${KINDPROBE_JOBS:-$(nproc)}

# ./test.sh has installed everything already.
[ -n "${KINDPROBE_DEPS_INSTALLED:-}" ] || scripts/install-deps.sh windows

# Everything is built, and a target that fails does not stop the others: the Wine tests of
# every target that did build still run, and the failure is recorded.
presets=(mingw-x86_64 mingw-i686)
build() { cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j "$jobs" -- -k 0; }
for preset in "${presets[@]}"; do
  run_stage "build: $preset" build "$preset"
done

check_binaries() {
  local arch
  for arch in x86_64 i686; do
    scripts/check-pe.sh "$arch" "build/mingw-$arch/bin/Kindprobe.dll" "build/mingw-$arch/bin/kindprobe.exe" \
      "build/mingw-$arch/bin/kindprobe-1.dll" "build/mingw-$arch/bin/KindprobeDiagnosis.dll"
  done
}
run_stage "binaries: machine, subsystem, exports, imports" check_binaries

# The Chinese locale of the Windows Script Host tests, the release bundle, and the integrators'
# kit built from the unpacked bundle and run under Wine.
run_stage "locale and release bundle" scripts/test-windows-registration.sh
run_stage "release kit: stripped binaries, SDK sample" scripts/test-release-kit.sh

# The installer tests use the release builds and prefixes of their own: they run beside the
# development builds' tests, and record their own stages.
msi_log=$(mktemp)
scripts/test-msi.sh >"$msi_log" 2>&1 &
msi_tests=$!

# Each prefix's wineserver stays for the whole suite (scripts/wine-run.sh); end them after it.
wine_suite() {
  local status=0 prefix
  ctest --preset "$1" -j "$jobs" || status=$?
  for prefix in "build/$1"/wineprefix*/; do
    [ -d "$prefix" ] && WINEPREFIX=$PWD/${prefix%/} /usr/lib/wine/wineserver -k 2>/dev/null || true
  done
  return $status
}

# The two suites share nothing (build trees, prefixes, wineservers), so they run side by side;
# each one's output is shown whole once both are done.
suites=(mingw-x86_64)
if can_run_32bit; then
  suites+=(mingw-i686)
else
  skip_stage "tests: mingw-i686 under 32-bit Wine" "$KINDPROBE_32BIT_SKIP"
fi
pids=()
for preset in "${suites[@]}"; do
  run_stage "tests: $preset under Wine" wine_suite "$preset" >"build/$preset/wine-tests.log" 2>&1 &
  pids+=($!)
done
for index in "${!suites[@]}"; do
  wait "${pids[$index]}" || true
  cat "build/${suites[$index]}/wine-tests.log"
done

wait "$msi_tests" || true
cat "$msi_log"
rm -f "$msi_log"
stages_passed
