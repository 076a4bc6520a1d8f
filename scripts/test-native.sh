#!/usr/bin/env bash
# Native builds and tests: GCC and Clang with warnings as errors, each build's tests, the
# address, undefined-behaviour and thread sanitizers, and a bounded run of every fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
fuzz_seconds=${KINDPROBE_FUZZ_SECONDS:-45}

step() { printf '\n==== %s\n' "$*"; }

for preset in gcc clang sanitize tsan; do
  step "build: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done

for preset in gcc clang; do
  step "tests: $preset"
  ctest --preset "$preset" -j "$jobs"
done

step "Debian package: lintian, install, use, purge"
scripts/test-deb.sh

step "tests: AddressSanitizer + UndefinedBehaviorSanitizer"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --preset sanitize -j "$jobs"

step "tests: ThreadSanitizer"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 ctest --preset tsan -j "$jobs"

step "fuzzing: ${fuzz_seconds}s per target"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
for target in build/fuzz/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  case "$target" in *_replay) continue ;; esac
  name=$(basename "$target")
  seeds=fuzz/corpus/${name#fuzz_}
  work=build/fuzz/corpus/$name
  mkdir -p "$work"
  [ -d "$seeds" ] && cp -n "$seeds"/* "$work"/ 2>/dev/null || true
  echo "-- $name"
  "$target" -max_total_time="$fuzz_seconds" -max_len=16384 -print_final_stats=0 "$work" \
    2>build/fuzz/$name.log || { tail -40 "build/fuzz/$name.log"; exit 1; }
  grep -E '^Done [0-9]+ runs' "build/fuzz/$name.log" || true
done
