#!/usr/bin/env bash
# Installs everything needed, builds and runs every test: native (GCC, Clang, sanitizers,
# fuzzing) and Windows (MinGW builds run under Wine). Every stage runs even when one before it
# failed; the run ends with a table of what ran, what was skipped and why, and what failed,
# and exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
unset KINDPROBE_STAGES KINDPROBE_32BIT_SKIP KINDPROBE_DEPS_INSTALLED
source scripts/lib/stages.sh
source scripts/lib/wine32.sh

scripts/install-deps.sh all
export KINDPROBE_DEPS_INSTALLED=1
# Decided once, for every script of the run.
if can_run_32bit; then
  echo "32-bit programs run here: the i686 suites run."
else
  echo "The i686 suites are skipped: $KINDPROBE_32BIT_SKIP."
fi

scripts/test-native.sh || true
scripts/test-windows.sh || true

print_stages
if stages_passed; then
  echo "All tests passed."
else
  echo "Some stages failed (see the table above)." >&2
  exit 1
fi
