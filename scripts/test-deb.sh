#!/usr/bin/env bash
# The Debian packages from install to purge: built with CPack, checked by lintian (no errors),
# installed with apt-get, used (kindprobe on the samples, a C program built with pkg-config
# against the installed files), purged, and checked to have left no file behind and no package
# changed. Needs root (or sudo) and a machine where none of them is installed.
set -euo pipefail
cd "$(dirname "$0")/.."

step() { printf '\n==== %s\n' "$*"; }
fail() { echo "test-deb.sh: $*" >&2; exit 1; }
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

packages=(kindprobe libkindprobe1 libkindprobe-dev python3-kindprobe)
for package in "${packages[@]}"; do
  if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'installed'; then
    fail "$package is installed already; this test would remove it"
  fi
done

mapfile -t debs < <(scripts/make-deb.sh | tail -n ${#packages[@]} | sed "s|^|$PWD/|")
for deb in "${debs[@]}"; do
  [ -f "$deb" ] || fail "no package $deb"
  dpkg-deb --info "$deb"
  dpkg-deb --contents "$deb"
done

step "lintian"
# Errors fail the test; the warnings kept are listed in the README's package section.
lintian -I --pedantic --tag-display-limit 0 "${debs[@]}" | tee build/lintian.log || true
! grep -q '^E: ' build/lintian.log || fail "lintian reports errors"
# Every other tag, down to the pedantic ones, is one the README's package section explains.
for tag in $(awk '/^[WIPX]: / {print $3}' build/lintian.log | sort -u); do
  grep -q "\`$tag\`" README.md || fail "lintian tag $tag is not explained in the README"
done

work=$(mktemp -d)
before=$work/packages-before
dpkg-query -W -f='${Package} ${Version}\n' | sort >"$before"
purge() { $sudo apt-get purge -y -qq "${packages[@]}" >/dev/null 2>&1 || true; }
trap 'purge; rm -rf "$work"' EXIT

# What of the package's paths the machine has already (/usr, /usr/bin ...): only those may stay.
for deb in "${debs[@]}"; do dpkg-deb --contents "$deb"; done |
  awk '{print $6}' | sed 's|^\.||; s|/$||' | grep . | sort -u >"$work/paths"
while read -r path; do [ -e "$path" ] && echo "$path"; done <"$work/paths" >"$work/there-before" || true

step "install"
$sudo apt-get install -y -qq --no-install-recommends "${debs[@]}" >/dev/null
dpkg-query -L "${packages[@]}" | grep -vx "/\." | sort -u >"$work/files"
for path in /usr/bin/kindprobe /usr/include/kindprobe/kindprobe.h \
            /usr/include/kindprobe/kindprobe_version.h /usr/share/man/man1/kindprobe.1.gz \
            /usr/share/doc/kindprobe/copyright /usr/share/doc/libkindprobe1/copyright \
            /usr/share/doc/libkindprobe-dev/copyright /usr/share/doc/python3-kindprobe/copyright \
            /usr/lib/python3/dist-packages/kindprobe/__init__.py \
            /usr/lib/python3/dist-packages/kindprobe/py.typed; do
  grep -qx "$path" "$work/files" || fail "the package lacks $path"
done

# Programs built against the library depend on the release that added what they use.
symbols=$(dpkg-query --control-path libkindprobe1 symbols)
[ -n "$symbols" ] && cmp -s "$symbols" resources/debian/symbols || fail "no symbols file, or another one"

step "use: kindprobe on the samples"
output=$(kindprobe samples/clip.avi samples/notes.txt samples/empty.avi)
echo "$output"
[ "$output" = "samples/clip.avi: AVI文件 (TypeID 4)
samples/notes.txt: 文本文件 (TypeID 2)
samples/empty.avi: 零字节文件 (TypeID 3)" ] || fail "kindprobe printed something else"
zcat /usr/share/man/man1/kindprobe.1.gz | grep -q '^\.TH KINDPROBE 1' || fail "no manual page"
# The shipped rule text, byte for byte, and the same table as the one compiled in.
cmp -s /usr/share/kindprobe/rules.txt resources/rules.txt || fail "rules.txt is not the shipped text"
[ "$(kindprobe --rules-file /usr/share/kindprobe/rules.txt --rules)" = "$(kindprobe --rules)" ] ||
  fail "the installed rules.txt reads as another table"
# Hardened: bound at start, read-only relocations, stack protection, no .comment.
# Each listing is read whole before it is searched: under pipefail, grep -q leaving at the first
# match may kill readelf with SIGPIPE, and the check would fail by the luck of the timing.
for binary in /usr/bin/kindprobe "$(dpkg-query -L libkindprobe1 | grep 'libkindprobe\.so\.1\.')"; do
  grep -q 'BIND_NOW\|FLAGS.*NOW' <<<"$(readelf -d "$binary")" || fail "$binary is not bound at start"
  grep -q GNU_RELRO <<<"$(readelf -lW "$binary")" || fail "$binary has no read-only relocations"
  grep -q '\.comment' <<<"$(readelf -SW "$binary")" && fail "$binary keeps its .comment section"
  grep -q __stack_chk_fail <<<"$(readelf -sW --dyn-syms "$binary")" ||
    fail "$binary has no stack protection"
done
for page in libkindprobe kindprobe_check_fd; do
  [ -e "/usr/share/man/man3/$page.3.gz" ] || fail "no manual page $page(3)"
done
zcat /usr/share/man/man3/kindprobe_check_fd.3.gz | grep -q '^\.TH LIBKINDPROBE 3' ||
  fail "kindprobe_check_fd(3) is not the library's page"

step "use: a C program built with pkg-config against the installed library"
# shellcheck disable=SC2046
cc -std=c99 -Wall -Wextra -Werror tests/consumers/consumer.c $(pkg-config --cflags --libs kindprobe) \
  -o "$work/consumer"
"$work/consumer" samples/clip.avi | tee "$work/consumer.out"
grep -qx 'samples/clip.avi: AVI文件 (TypeID 4, InvalidMedia)' "$work/consumer.out" ||
  fail "the C program printed something else"

step "use: the Python package, from the installed files only"
# Debian's interpreter; -I: not from the working tree, -B: no bytecode the purge would leave.
output=$(/usr/bin/python3 -B -I -c "import kindprobe; print(kindprobe.__file__)
print(kindprobe.check('samples/clip.avi'))")
echo "$output"
grep -qx '/usr/lib/python3/dist-packages/kindprobe/__init__.py' <<<"$output" ||
  fail "python3 imported kindprobe from elsewhere"
grep -qF "Result(type_id=<TypeId.INVALID_MEDIA: 4>, type_name='InvalidMedia', description='AVI文件'" \
  <<<"$output" || fail "kindprobe.check printed something else"

step "purge"
$sudo apt-get purge -y -qq "${packages[@]}" >/dev/null
trap 'rm -rf "$work"' EXIT
left=()
while read -r path; do
  { [ -e "$path" ] || [ -L "$path" ]; } && ! grep -qxF "$path" "$work/there-before" && left+=("$path")
done <"$work/files"
[ ${#left[@]} -eq 0 ] || fail "left after purge: ${left[*]}"
dpkg-query -W -f='${Package} ${Version}\n' | sort | diff -u "$before" - ||
  fail "the installed packages differ from before the test"
echo "installed, used and purged without a trace"
