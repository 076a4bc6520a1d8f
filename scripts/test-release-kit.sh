#!/usr/bin/env bash
# The release bundle as an integrator meets it: the zip unpacked in an empty folder, its
# binaries stripped with their symbols beside them, and the sdk/ sample built from the unpacked
# sdk/ alone with the commands its README gives, for i686 and x86_64, then run under 32- and
# 64-bit Wine: the COM sample against the bundle's own Kindprobe.dll, registered with regsvr32,
# the C sample against the bundle's own kindprobe-1.dll put beside it.
# Needs the bundle (scripts/make-release.sh); exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

version=$(head -n 1 VERSION)
zip=$PWD/build/release-bundle/kindprobe-$version-windows.zip
work=$PWD/build/release-kit-test
samples=$PWD/samples
[ -f "$zip" ] || { echo "test-release-kit.sh: no $zip (run scripts/make-release.sh)" >&2; exit 1; }
fail() { echo "test-release-kit.sh: $*" >&2; exit 1; }
source scripts/lib/stages.sh
source scripts/lib/wine32.sh

rm -rf "$work/unpacked"
mkdir -p "$work/unpacked"
python3 -m zipfile -e "$zip" "$work/unpacked"
kit=$work/unpacked/kindprobe-$version-windows

# arch folder, compiler triplet, Wine loader, Wine architecture
arches=("x86 i686 /usr/lib/wine/wine win32" "x64 x86_64 /usr/lib/wine/wine64 win64")
for arch in "${arches[@]}"; do
  read -r folder triplet wine winearch <<<"$arch"
  printf '\n==== %s: stripped binaries, symbols, the SDK sample under %s Wine\n' "$folder" "$winearch"
  for binary in Kindprobe.dll KindprobeDiagnosis.dll kindprobe-1.dll kindprobe.exe; do
    shipped=$kit/$folder/$binary
    symbols=$kit/symbols/$folder/$binary.debug
    # Listings are read whole before they are searched: under pipefail, grep -q leaving at its
    # first match may kill the writer with SIGPIPE and fail the check by the luck of the timing.
    sections=$("$triplet-w64-mingw32-objdump" -h "$shipped")
    ! grep -q '\.debug_' <<<"$sections" || fail "$folder/$binary still carries debug sections"
    grep -q '\.debug_info' <<<"$("$triplet-w64-mingw32-objdump" -h "$symbols")" ||
      fail "symbols/$folder/$binary.debug holds no debug information"
    { grep -q '\.gnu_debuglink' <<<"$sections" &&
        grep -qx "$binary.debug" <<<"$(strings -a "$shipped")"; } ||
      fail "$folder/$binary has no debug link to $binary.debug"
  done

  # The documented command, run in the unpacked samples folder: nothing from the source tree.
  command=$(tr -d '\r' <"$kit/sdk/README.txt" | sed -n "s/^ *\($triplet-w64-mingw32-g++ .*\)/\1/p")
  [ -n "$command" ] || fail "sdk/README.txt gives no $triplet build command"
  (cd "$kit/sdk/samples" && rm -f check_file.exe && eval "$command" &&
     mv check_file.exe "check_file-$folder.exe")
  command=$(tr -d '\r' <"$kit/sdk/README.txt" | sed -n "s/^ *\($triplet-w64-mingw32-gcc .*\)/\1/p")
  [ -n "$command" ] || fail "sdk/README.txt gives no $triplet build command for the C sample"
  c_sample=$work/c-sample-$folder
  rm -rf "$c_sample"
  mkdir -p "$c_sample"
  (cd "$kit/sdk/samples" && rm -f diagnose.exe && eval "$command" && mv diagnose.exe "$c_sample/")
  cp "$kit/$folder/kindprobe-1.dll" "$c_sample/"

  if [ "$winearch" = win32 ] && ! can_run_32bit; then
    skip_stage "release kit: the x86 SDK sample under 32-bit Wine" "$KINDPROBE_32BIT_SKIP"
    continue
  fi
  prefix=$work/wine-$folder
  run() { WINEARCH=$winearch KINDPROBE_WINE=$wine scripts/wine-run.sh --prefix "$prefix" -- "$@"; }
  run regsvr32 /s "Z:${kit//\//\\}\\$folder\\Kindprobe.dll" || fail "regsvr32 failed ($folder)"
  output=$(run "$kit/sdk/samples/check_file-$folder.exe" "Z:${samples//\//\\}\\clip.avi" \
             "Z:${samples//\//\\}\\notes.txt" "Z:${samples//\//\\}\\empty.avi" | tr -d '\r')
  echo "$output"
  expected="Kindprobe $version
Z:${samples//\//\\}\\clip.avi: AVI文件 (TypeID 4)
Z:${samples//\//\\}\\notes.txt: 文本文件 (TypeID 2)
Z:${samples//\//\\}\\empty.avi: 零字节文件 (TypeID 3)"
  [ "$output" = "$expected" ] || fail "the $folder sample printed something else"
  output=$(run "$c_sample/diagnose.exe" "Z:${samples//\//\\}\\clip-renamed.txt" \
             "Z:${samples//\//\\}\\empty.avi" "Z:${samples//\//\\}\\none-such.avi" | tr -d '\r')
  echo "$output"
  samples_dir="Z:${samples//\//\\}"
  expected="kindprobe $version
$samples_dir\\clip-renamed.txt: AVI file (TypeID 4)
  renamed: the extension .txt belongs to \"text file\", but the content is \"AVI file\"
$samples_dir\\empty.avi: zero-byte file (TypeID 3)
$samples_dir\\none-such.avi: cannot open (File not found)"
  [ "$output" = "$expected" ] || fail "the $folder C sample printed something else"
  WINEPREFIX=$prefix "${wine%/*}/wineserver" -k 2>/dev/null || true
done
echo "release kit: stripped binaries with symbols, both SDK samples built for x86 and x64"
