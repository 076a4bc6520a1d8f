# Bookkeeping of the test scripts' stages, sourced by them: each stage's outcome, test count
# and seconds go to one file, which ./test.sh prints as its closing table. A stage that fails
# is recorded and the run goes on, so the table shows everything that ran and everything that
# did not; the scripts exit non-zero at the end if any stage failed.

# One file per run: the first script of the run starts it, the scripts it calls add to it.
if [ -z "${KINDPROBE_STAGES:-}" ]; then
  export KINDPROBE_STAGES=$PWD/build/stages.tsv
  mkdir -p build
  : >"$KINDPROBE_STAGES"
fi

step() { printf '\n==== %s\n' "$*"; }

# The tests a log reports: CTest's summary and the plain "N passed, N failed" lines, added up.
# Prints "PASSED FAILED", or nothing when the log counts no tests.
count_tests() {
  awk '
    /tests passed, [0-9]+ tests? failed out of [0-9]+/ {
      for (i = 1; i <= NF; i++) { if ($i == "failed") f = $(i - 2); if ($i == "of") n = $(i + 1) }
      passed += n - f; failed += f; seen = 1
    }
    /^([A-Za-z-]+: )?[0-9]+ passed, [0-9]+ failed/ {
      line = $0; sub(/^[A-Za-z-]+: /, "", line); split(line, w, /[ ,]+/)
      passed += w[1]; failed += w[3]; seen = 1
    }
    END { if (seen) print passed + 0, failed + 0 }' "$1"
}

record_stage() {  # NAME RESULT TESTS SECONDS
  printf '%s\t%s\t%s\t%s\n' "$1" "$2" "$3" "$4" >>"$KINDPROBE_STAGES"
}

# run_stage NAME COMMAND...: runs COMMAND, its output shown as it comes, and records it.
run_stage() {
  local name=$1 log started status counts
  shift
  log=$(mktemp)
  started=$SECONDS
  step "$name"
  set +e
  (set -e; "$@") 2>&1 | tee "$log"
  status=${PIPESTATUS[0]}
  set -e
  counts=$(count_tests "$log")
  rm -f "$log"
  if [ "$status" -eq 0 ]; then
    record_stage "$name" ran "$counts" $((SECONDS - started))
  else
    record_stage "$name" "failed (exit $status)" "$counts" $((SECONDS - started))
  fi
  return 0
}

# skip_stage NAME WHY: says the stage does not run here, and why.
skip_stage() {
  step "$1: skipped ($2)"
  record_stage "$1" "skipped ($2)" "" 0
}

# print_stages: the closing table, then the total of the tests counted.
print_stages() {
  step "summary"
  awk -F '\t' '
    { split($3, c, " "); tests = $3 == "" ? "-" : c[1] + c[2] " (" c[2] " failed)"
      printf "%-52s %-10s %6s s  %s\n", $1, tests, $4, $2
      passed += c[1]; failed += c[2] }
    END { printf "\ntests: %d passed, %d failed\n", passed, failed }' "$KINDPROBE_STAGES"
}

# True unless a stage of this run failed.
stages_passed() { ! cut -f 2 "$KINDPROBE_STAGES" | grep -q '^failed'; }
