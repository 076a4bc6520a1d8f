#!/bin/sh
# Runs a Windows program under Wine in a private prefix, creating the prefix on first use.
#   wine-run.sh [--arch win64|win32] --prefix DIR -- program.exe [arguments...]
# --arch picks 64-bit Wine (the default) or 32-bit Wine, and the prefix's architecture when it
# is created. KINDPROBE_WINE, when set, is run instead of the loader (a wrapper that execs
# $KINDPROBE_WINE_LOADER). Used by CTest as the cross-compiling emulator; usable by hand.
set -eu

arch=win64
prefix=
while [ $# -gt 0 ]; do
  case "$1" in
    --arch) arch=$2; shift 2 ;;
    --prefix) prefix=$2; shift 2 ;;
    --) shift; break ;;
    *) break ;;
  esac
done
[ -n "$prefix" ] || { echo "wine-run.sh: --prefix DIR is required" >&2; exit 2; }
[ $# -gt 0 ] || { echo "wine-run.sh: no program given" >&2; exit 2; }
case "$arch" in
  win64) loader=/usr/lib/wine/wine64 ;;
  win32) loader=/usr/lib/wine/wine ;;
  *) echo "wine-run.sh: --arch is win64 or win32" >&2; exit 2 ;;
esac
export KINDPROBE_WINE_LOADER="$loader"

export WINEPREFIX="$prefix" WINEARCH="$arch"
export WINEDEBUG=-all
# No .NET or HTML engine installers: they would pop up and wait on first use.
export WINEDLLOVERRIDES="mscoree,mshtml="
# The C locale gives Wine's default ANSI code page, 1252, while its UTF-8 codeset lets host file
# names carry any character. Chinese descriptions then prove the rule text is widened from 936.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY

mkdir -p "$prefix"
# Tests run in parallel: the first one creates the prefix, the others wait for it.
(
  flock 9
  if [ ! -f "$prefix/.kindprobe-ready" ]; then
    "$loader" wineboot --init >/dev/null 2>&1 || true
    "$(dirname "$loader")/wineserver" -w 2>/dev/null || wineserver -w 2>/dev/null || true
    [ -f "$prefix/system.reg" ] || { echo "wine-run.sh: wineboot failed in $prefix" >&2; exit 1; }
    touch "$prefix/.kindprobe-ready"
  fi
) 9>"$prefix.lock"

# Debian's wineserver leaves as soon as its last client does, and a program started just then
# may meet it on its way out ("recvmsg: Connection reset by peer"). One server stays for the
# prefix while programs keep coming; the suite ends it (wineserver -k) when it is done. Asking
# again while it runs only changes nothing.
"$(dirname "$loader")/wineserver" -p60 </dev/null >/dev/null 2>&1 9>&- || true

exec "${KINDPROBE_WINE:-$loader}" "$@"
