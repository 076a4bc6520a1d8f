#!/bin/sh
# Wine's loader in the locale KINDPROBE_WINE_LOCALE names. scripts/wine-run.sh runs its programs
# in the C locale, where Wine cannot name files outside ASCII; pointing its KINDPROBE_WINE here
# gives a test Chinese file names (and, with a Chinese locale, code page 936) in a prefix that
# wine-run.sh still creates and shares.
set -eu
: "${KINDPROBE_WINE_LOCALE:=C.UTF-8}"
export LANG="$KINDPROBE_WINE_LOCALE" LC_ALL="$KINDPROBE_WINE_LOCALE"
exec "${KINDPROBE_WINE_LOADER:-/usr/lib/wine/wine64}" "$@"
