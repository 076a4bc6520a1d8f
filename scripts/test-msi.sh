#!/usr/bin/env bash
# The installer tests (tests/msi/check_msi.py) of both release builds under Wine, side by side:
# the x86 package in a 32-bit and in a 64-bit prefix, the x64 package in a 64-bit one. Both run
# 32-bit programs for the x86 package, so they are skipped where this machine cannot
# (scripts/lib/wine32.sh). Run after scripts/make-release.sh, whose build trees they use.
# Records a stage per package; exits non-zero when either fails.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/stages.sh
source scripts/lib/wine32.sh

build_root=${KINDPROBE_RELEASE_BUILD_ROOT:-build/release}
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

declare -A targets=([i686]="kindprobe_msi_check kindprobe_msi_check_wow64"
                     [x86_64]="kindprobe_msi_check")
# The test's own lines, without the build tool's progress.
check() {
  # shellcheck disable=SC2086  # the target list splits into words
  cmake --build "$build_root-$1" -j 2 --target ${targets[$1]} | { grep -v '^\[[0-9]*/[0-9]*\]' || true; }
}
arches=(x86_64)
if can_run_32bit; then
  arches+=(i686)
else
  skip_stage "installer tests, i686 (32- and 64-bit prefixes)" "$KINDPROBE_32BIT_SKIP"
fi
for arch in "${arches[@]}"; do
  run_stage "installer tests, $arch" check "$arch" >"$logs/$arch" 2>&1 &
done
wait
cat "$logs"/*
stages_passed
