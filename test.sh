#!/usr/bin/env bash
# Installs everything needed, builds and runs every test: native (GCC, Clang, sanitizers,
# fuzzing) and Windows (MinGW builds run under Wine). Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh all
scripts/test-native.sh
if [ -x scripts/test-windows.sh ]; then
  scripts/test-windows.sh
fi
echo "All tests passed."
