#!/usr/bin/env bash
# What can be checked of a Windows binary without running it: the machine it is built for, its
# subsystem, that a module exports the four server entry points undecorated (the C library: just
# the functions its .def names), and that it
# imports only DLLs every Windows has (no C or C++ runtime, thread or GCC DLL to ship beside it).
#   scripts/check-pe.sh i686|x86_64 FILE...
set -euo pipefail

arch=$1
shift
case "$arch" in
  i686) format=pei-i386 ;;
  x86_64) format=pei-x86-64 ;;
  *) echo "usage: $0 i686|x86_64 FILE..." >&2; exit 2 ;;
esac
objdump=$arch-w64-mingw32-objdump
# Part of every Windows since XP: what a module may import without shipping anything beside it.
system_dlls=' kernel32.dll user32.dll advapi32.dll ole32.dll oleaut32.dll rpcrt4.dll version.dll '
system_dlls+='msvcrt.dll shell32.dll shlwapi.dll '

status=0
fail() { echo "check-pe.sh: $1: $2" >&2; status=1; }
for file in "$@"; do
  headers=$("$objdump" -p "$file")
  # Read whole, then searched: grep -q leaving early could kill the writer under pipefail.
  grep -q "file format $format\$" <<<"$("$objdump" -f "$file")" || fail "$file" "not $format"
  # Windows ignores a DLL's subsystem, as long as it is a Windows one; the command is a console
  # program.
  case "$file" in
    *.dll) subsystem='Windows (GUI|CUI)' ;;
    *) subsystem='Windows CUI' ;;
  esac
  grep '^Subsystem' <<<"$headers" | grep -qE "\(($subsystem)\)" ||
    fail "$file" "the subsystem is not $subsystem"
  while read -r dll; do
    [[ "$system_dlls" == *" ${dll,,} "* ]] || fail "$file" "imports $dll, which Windows does not have"
  done < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
  if [[ "$file" == */Kindprobe.dll || "$file" == */KindprobeDiagnosis.dll ]]; then
    exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers")
    for name in DllGetClassObject DllCanUnloadNow DllRegisterServer DllUnregisterServer; do
      grep -qE "\] ${name}\$" <<<"$exports" || fail "$file" "missing undecorated export $name"
    done
    ! grep -q '@' <<<"$exports" || fail "$file" "decorated exports"
    # A guarded function-local static takes a lock the runtime never frees: one handle left
    # behind by every unload (where the binary still has its symbols to tell).
    ! "$arch-w64-mingw32-nm" "$file" 2>/dev/null | grep -q '__cxa_guard_acquire$' ||
      fail "$file" "has guarded statics, whose lock every unload leaves behind"
  fi
  if [[ "$file" == */kindprobe-1.dll ]]; then
    # Exactly the C interface its .def names: nothing of the engine or the C++ runtime.
    exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[ *[0-9]*\] //p' <<<"$headers" | sort)
    wanted=$(sed -n 's/^  \(kindprobe_[a-z_0-9]*\)$/\1/p' "$(dirname "$0")/../library/kindprobe.def" | sort)
    [ "$exports" = "$wanted" ] || fail "$file" "exports differ from library/kindprobe.def: $(
      diff <(echo "$wanted") <(echo "$exports") | grep '^[<>]' | tr '\n' ' ')"
  fi
  [ $status -ne 0 ] || echo "$file: $format, $(grep -o '(Windows [A-Z]*)' <<<"$headers"), imports" \
    $(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
done
exit $status
