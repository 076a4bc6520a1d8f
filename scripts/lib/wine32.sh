# Whether this machine runs the 32-bit Windows programs, sourced by the test scripts. It needs
# 32-bit Wine installed and a kernel that runs 32-bit programs: machines of one kind differ
# there (some have IA-32 emulation off and answer "Exec format error"). Decided once per run
# and exported, so every script of the run agrees.
#   can_run_32bit    true when they run; otherwise KINDPROBE_32BIT_SKIP says why not.
can_run_32bit() {
  if [ -z "${KINDPROBE_32BIT_SKIP+set}" ]; then
    local loader=/usr/lib/wine/wine answer
    KINDPROBE_32BIT_SKIP=
    if [ ! -x "$loader" ]; then
      KINDPROBE_32BIT_SKIP="32-bit Wine (wine32:i386) is not installed"
    elif ! answer=$("$loader" --version 2>&1); then
      KINDPROBE_32BIT_SKIP="this kernel does not run 32-bit programs: $loader: ${answer##*: }"
    fi
    export KINDPROBE_32BIT_SKIP
  fi
  [ -z "$KINDPROBE_32BIT_SKIP" ]
}
