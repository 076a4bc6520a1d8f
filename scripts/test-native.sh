#!/usr/bin/env bash
# Native builds and tests: GCC and Clang with warnings as errors, each build's tests, the
# address, undefined-behaviour and thread sanitizers, and a bounded run of every fuzz target.
# Each stage is recorded (scripts/lib/stages.sh); exits non-zero if any failed.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/stages.sh

jobs=$(nproc)
fuzz_seconds=${KINDPROBE_FUZZ_SECONDS:-45}

build() { cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j "$jobs"; }

for preset in gcc clang sanitize tsan; do
  run_stage "build: $preset" build "$preset"
done

for preset in gcc clang; do
  run_stage "tests: $preset" ctest --preset "$preset" -j "$jobs"
done

run_stage "Debian packages: lintian, install, use, purge" scripts/test-deb.sh

run_stage "tests: AddressSanitizer + UndefinedBehaviorSanitizer" \
  env ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
      UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --preset sanitize -j "$jobs"

run_stage "tests: ThreadSanitizer" \
  env TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 ctest --preset tsan -j "$jobs"

fuzz_all() {
  build fuzz
  local target name seeds work
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
      2>build/fuzz/$name.log || { tail -40 "build/fuzz/$name.log"; return 1; }
    grep -E '^Done [0-9]+ runs' "build/fuzz/$name.log" || true
  done
}
run_stage "fuzzing: ${fuzz_seconds}s per target" fuzz_all

stages_passed
