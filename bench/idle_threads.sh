#!/usr/bin/env bash
# The processor time idle worker threads cost: 255 of them wait two seconds for a list's only
# path. Asleep they cost next to nothing (thread start-up aside); waiting on the processor they
# would use about two seconds per core. Prints the figure; asserts nothing.
#   bench/idle_threads.sh [KINDPROBE]   (default: build/gcc/cli/kindprobe)
set -euo pipefail
kindprobe=${1:-build/gcc/cli/kindprobe}
file=$(mktemp --suffix=.png)
trap 'rm -f "$file"' EXIT
printf '\211PNG\r\n\032\n' >"$file"
TIMEFORMAT='wall %R s, user %U s, system %S s'
{ time { { sleep 2; echo "$file"; } | "$kindprobe" -b -j 256 -f - >/dev/null; }; } 2>&1
