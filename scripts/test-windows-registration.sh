#!/usr/bin/env bash
# What the registration tests and the release need besides the Windows builds themselves:
# the Chinese locale the Windows Script Host tests run in, and the release bundle, checked.
# Called by scripts/test-windows.sh before it runs the Wine tests; exits non-zero on failure.
set -euo pipefail
cd "$(dirname "$0")/.."

step() { printf '\n==== %s\n' "$*"; }

# The Windows Script Host tests build their expected Chinese text from GBK codes (code page 936),
# which Wine takes from a Chinese locale.
step "locale zh_CN.UTF-8 (Windows Script Host tests)"
if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "the zh_CN.UTF-8 locale is missing: run 'sudo locale-gen zh_CN.UTF-8' (package locales)" >&2
    exit 1
  fi
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null ||
    echo 'zh_CN.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen zh_CN.UTF-8 >/dev/null
fi
echo "present"

step "release bundle"
scripts/make-release.sh
version=$(head -n 1 VERSION)
bundle=build/release-bundle/kindprobe-$version-windows
for arch in x86:i686:x86:Intel x64:x86_64:amd64:x64; do
  IFS=: read -r folder triplet manifest_arch msi_platform <<<"$arch"
  for file in Kindprobe.dll KindprobeDiagnosis.dll kindprobe-1.dll kindprobe.exe Kindprobe.manifest; do
    [ -f "$bundle/$folder/$file" ] || { echo "missing $folder/$file" >&2; exit 1; }
  done
  msiinfo suminfo "build/release-bundle/kindprobe-$version-$folder.msi" | grep -q "^Template: $msi_platform;" ||
    { echo "no Windows Installer package for $folder" >&2; exit 1; }
  for module in Kindprobe.dll KindprobeDiagnosis.dll; do
    exports=$("$triplet-w64-mingw32-objdump" -p "$bundle/$folder/$module" |
              sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p')
    for name in DllGetClassObject DllCanUnloadNow DllRegisterServer DllUnregisterServer; do
      grep -qE "\] ${name}\$" <<<"$exports" ||
        { echo "$folder/$module lacks the export $name" >&2; exit 1; }
    done
  done
  grep -q "processorArchitecture=\"$manifest_arch\"" "$bundle/$folder/Kindprobe.manifest" ||
    { echo "$folder/Kindprobe.manifest is not for $manifest_arch" >&2; exit 1; }
done
python3 -m zipfile -t "$bundle.zip" >/dev/null
echo "$bundle.zip: complete"
