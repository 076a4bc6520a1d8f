#!/usr/bin/env bash
# Builds the Windows release bundle in one go:
#   build/release-bundle/kindprobe-VERSION-windows/          the folder
#   build/release-bundle/kindprobe-VERSION-windows.zip       the same, zipped
# with x86/ and x64/ (Kindprobe.dll, KindprobeDiagnosis.dll, kindprobe-1.dll, kindprobe.exe,
# Kindprobe.manifest), stripped, their
# symbols in symbols/x86/ and symbols/x64/, the integrators' sdk/, INSTALL.txt and
# SHA256SUMS, and beside them the Windows Installer packages
#   build/release-bundle/kindprobe-VERSION-x86.msi, kindprobe-VERSION-x64.msi
# The builds go to $KINDPROBE_RELEASE_BUILD_ROOT-i686 and -x86_64 (default
# build/release), apart from the development builds.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=${KINDPROBE_JOBS:-2}
build_root=${KINDPROBE_RELEASE_BUILD_ROOT:-build/release}
version=$(head -n 1 VERSION)
[ -n "$version" ] || { echo "make-release.sh: no version in VERSION" >&2; exit 1; }
name=kindprobe-$version-windows
bundle_root=build/release-bundle
bundle=$bundle_root/$name

# arch folder, toolchain, build directory
builds=("x86 mingw-i686 $build_root-i686" "x64 mingw-x86_64 $build_root-x86_64")

rm -rf "$bundle" "$bundle_root/$name.zip" "$bundle_root"/kindprobe-"$version"-x*.msi
mkdir -p "$bundle"
for build in "${builds[@]}"; do
  read -r folder toolchain directory <<<"$build"
  printf '\n==== build: %s (%s)\n' "$toolchain" "$directory"
  cmake -S . -B "$directory" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchains/$toolchain.cmake" \
        -DKINDPROBE_WERROR=ON -DBUILD_TESTING=OFF -DKINDPROBE_BENCH=OFF \
        -DCMAKE_C_FLAGS=-g -DCMAKE_CXX_FLAGS=-g >/dev/null
  # An earlier run left stripped copies in the tree (see below); linking again restores the
  # binaries with their debug sections, which the symbols are taken from.
  binaries=(Kindprobe.dll KindprobeDiagnosis.dll kindprobe-1.dll)
  for binary in "${binaries[@]}"; do rm -f "$directory/bin/$binary"; done
  find "$directory" -name kindprobe.exe -not -path '*/CMakeFiles/*' -delete
  cmake --build "$directory" -j "$jobs" --target Kindprobe KindprobeDiagnosis kindprobe kindprobe_shared
  mkdir -p "$bundle/$folder"
  # Kindprobe.dll goes to bin/, the command stays in its own folder.
  cli=$(find "$directory" -name kindprobe.exe -not -path '*/CMakeFiles/*' | head -n 1)
  [ -n "$cli" ] || { echo "make-release.sh: no kindprobe.exe in $directory" >&2; exit 1; }
  for binary in "${binaries[@]}"; do cp "$directory/bin/$binary" "$bundle/$folder/"; done
  cp "$cli" "$directory/generated/registration/Kindprobe.manifest" "$bundle/$folder/"
  # Shipped without debug sections, in the archive and in the package alike; the symbols
  # travel beside them, found by the debug link.
  triplet=${toolchain#mingw-}-w64-mingw32
  symbols=$PWD/$bundle/symbols/$folder
  mkdir -p "$symbols"
  for binary in "${binaries[@]}" kindprobe.exe; do
    binary=$bundle/$folder/$binary
    debug=$symbols/$(basename "$binary").debug
    "$triplet-objcopy" --only-keep-debug "$binary" "$debug"
    "$triplet-strip" --strip-all "$binary"
    "$triplet-objcopy" --add-gnu-debuglink="$debug" "$binary"
  done
  # The package takes the binaries from the build tree: give it the stripped ones.
  for binary in "${binaries[@]}"; do cp "$bundle/$folder/$binary" "$directory/bin/"; done
  cp "$bundle/$folder/kindprobe.exe" "$cli"
  cmake --build "$directory" -j "$jobs" --target kindprobe_msi
  cp "$directory/packaging/windows/kindprobe-$version-$folder.msi" "$bundle_root/"
  # The C library's import library, for MinGW; MSVC makes its own from the .def.
  mkdir -p "$bundle/sdk/lib/$folder"
  cp "$directory/lib/libkindprobe.dll.a" "$bundle/sdk/lib/$folder/"
done

# The integrators' kit: header, GUIDs, IDL, type library and a sample client of the component;
# the Diagnosis component's header, GUIDs, IDL and type library; the C library's header, .def
# and a sample client of it.
generated=$build_root-i686/component/generated
diagnosis_generated=$build_root-i686/diagnosis_server/generated
mkdir -p "$bundle/sdk/include/kindprobe" "$bundle/sdk/idl" "$bundle/sdk/samples"
cp "$generated/kindprobe.h" "$generated/kindprobe_i.c" "$diagnosis_generated/kindprobe_diagnosis.h" \
   "$diagnosis_generated/kindprobe_diagnosis_i.c" "$bundle/sdk/include/"
cp library/include/kindprobe/kindprobe.h "$build_root-i686/resources/generated/kindprobe/kindprobe_version.h" \
   "$bundle/sdk/include/kindprobe/"
cp library/kindprobe.def "$bundle/sdk/lib/"
cp component/kindprobe.idl diagnosis_server/kindprobe_diagnosis.idl "$bundle/sdk/idl/"
cp "$generated/kindprobe.tlb" "$diagnosis_generated/kindprobe_diagnosis.tlb" "$bundle/sdk/"
cp sdk/samples/check_file.cpp sdk/samples/diagnose.c "$bundle/sdk/samples/"
sed "s/@VERSION@/$version/; s/\$/\r/" sdk/README.txt >"$bundle/sdk/README.txt"

# Windows users read this in Notepad: CR LF lines.
sed 's/$/\r/' >"$bundle/INSTALL.txt" <<EOF
Kindprobe $version for Windows
==============================

x86\\  32-bit Kindprobe.dll, KindprobeDiagnosis.dll, kindprobe-1.dll and kindprobe.exe
      (for a 32-bit player)
x64\\  64-bit Kindprobe.dll, KindprobeDiagnosis.dll, kindprobe-1.dll and kindprobe.exe
      (for a 64-bit player)
KindprobeDiagnosis.dll is the Diagnosis component, for scripts: why a file will not play.
kindprobe-1.dll is the C library (sdk\\README.txt); it needs no registration.
Each folder also holds Kindprobe.manifest, for use without registration.
sdk\\  for programmers: the components' headers, GUIDs, IDL and type libraries, the C
      library's header and import libraries, and samples (sdk\\README.txt)
symbols\\  debugging symbols of the binaries (not needed to run them)

Install with Windows Installer
------------------------------
kindprobe-$version-x86.msi and kindprobe-$version-x64.msi, published beside this
archive, install all of a folder's files for all users into Program Files (the x86
package into C:\\Program Files (x86) on 64-bit Windows) and register both components;
no regsvr32 is needed. As administrator, with or without a user interface:

    msiexec /i kindprobe-$version-x64.msi
    msiexec /i kindprobe-$version-x64.msi /qn

A later version installs over an earlier one. Remove it with "Apps and features" or:

    msiexec /x kindprobe-$version-x64.msi /qn

Install and register by hand
----------------------------
Copy the folder that matches the player, e.g. to C:\\Program Files\\Kindprobe, then in a
command prompt run as administrator:

    regsvr32 "C:\\Program Files\\Kindprobe\\Kindprobe.dll"
    regsvr32 "C:\\Program Files\\Kindprobe\\KindprobeDiagnosis.dll"

On 64-bit Windows register the 32-bit DLLs with C:\\Windows\\SysWOW64\\regsvr32.exe.

Use from a script (cscript check.vbs)
-------------------------------------
    Set checker = CreateObject("Kindprobe.CheckFile")
    checker.CheckFile "C:\\Videos\\clip.avi"
    WScript.Echo checker.GetTypeID() & " " & checker.GetErrorInfo()

Why it will not play, as the JSON object of kindprobe --explain --json ("en" or "zh"):

    Set diagnosis = CreateObject("Kindprobe.Diagnosis")
    WScript.Echo diagnosis.Diagnose("C:\\Videos\\clip.avi", "en")

Use without registration
------------------------
Put Kindprobe.dll and Kindprobe.manifest beside the program and name the assembly in the
program's own manifest (processorArchitecture "x86" for the 32-bit files, "amd64" for the
64-bit ones):

    <dependency><dependentAssembly>
      <assemblyIdentity type="win32" name="Kindprobe" version="$version"
                        processorArchitecture="x86"/>
    </dependentAssembly></dependency>

Remove what was registered by hand
----------------------------------
    regsvr32 /u "C:\\Program Files\\Kindprobe\\Kindprobe.dll"
    regsvr32 /u "C:\\Program Files\\Kindprobe\\KindprobeDiagnosis.dll"
then delete the folder.

Symbols for crash reports
-------------------------
The binaries carry no debugging information; symbols\\x86 and symbols\\x64 hold it, one .debug
file per binary, named by a debug link inside it. To symbolise a crash, put the .debug file
beside the binary (or in a .debug folder beside it) and open the dump or the binary with gdb,
which loads it by the link; or name it yourself: gdb -ex "symbol-file Kindprobe.dll.debug".
addr2line -e symbols\\x86\\Kindprobe.dll.debug ADDRESS gives the source line of an address.

Check the files
---------------
SHA256SUMS lists the SHA-256 of every file: sha256sum -c SHA256SUMS, or on Windows
certutil -hashfile x86\\Kindprobe.dll SHA256.
EOF

(cd "$bundle" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort |
   xargs sha256sum >SHA256SUMS)

python3 - "$bundle_root" "$name" <<'EOF'
import os, sys, zipfile
root, name = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(os.path.join(root, name + ".zip"), "w", zipfile.ZIP_DEFLATED) as archive:
    for directory, _, files in sorted(os.walk(os.path.join(root, name))):
        for file in sorted(files):
            path = os.path.join(directory, file)
            archive.write(path, os.path.relpath(path, root))
EOF

scripts/make-deb.sh

printf '\n==== %s\n' "$bundle_root/$name.zip"
(cd "$bundle" && sha256sum -c --quiet SHA256SUMS)
cat "$bundle/SHA256SUMS"
(cd "$bundle_root" && sha256sum kindprobe-"$version"-x*.msi)
