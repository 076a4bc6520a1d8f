#!/usr/bin/env bash
# The installer tests (tests/msi/check_msi.py) of both release builds under Wine, side by side:
# the x86 package in a 32-bit and in a 64-bit prefix, the x64 package in a 64-bit one. Run after
# scripts/make-release.sh, whose build trees they use. Exits non-zero when either fails.
set -euo pipefail
cd "$(dirname "$0")/.."

build_root=${KINDPROBE_RELEASE_BUILD_ROOT:-build/release}
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'ok installed'; then
  echo "test-msi.sh: the x86 package needs 32-bit Wine (package wine32:i386)" >&2
  exit 1
fi

declare -A targets=([i686]="kindprobe_msi_check kindprobe_msi_check_wow64"
                     [x86_64]="kindprobe_msi_check")
declare -A pids
for arch in i686 x86_64; do
  # shellcheck disable=SC2086  # the target list splits into words
  cmake --build "$build_root-$arch" -j 2 --target ${targets[$arch]} >"$logs/$arch" 2>&1 &
  pids[$arch]=$!
done
status=0
for arch in i686 x86_64; do
  if wait "${pids[$arch]}"; then result=passed; else result=FAILED; status=1; fi
  printf '\n==== installer tests, %s: %s\n' "$arch" "$result"
  # The test's own lines, without the build tool's progress.
  grep -v '^\[[0-9]*/[0-9]*\]' "$logs/$arch" || true
done
exit $status
