#!/usr/bin/env python3
"""The registry entries each COM module files with regsvr32, compared byte for byte with a
recorded export: what `reg export HKEY_CLASSES_ROOT` gains when the module alone is registered in
a prefix, with the module's path, its folder and the type library's platform key written as
%MODULE%, %FOLDER% and %PLATFORM% so that one record serves every build tree. The modules are
taken in turn, each unregistered before the next; that unregistering leaves nothing behind is
the two-module test's to check.

  check_module_entries.py --wine-run scripts/wine-run.sh --arch win64 --prefix DIR
                          --module A.dll --expected A.reg [--module B.dll --expected B.reg ...]
                          [--record]
"""
import argparse
import difflib
import os
import subprocess
import sys
import tempfile


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def sections(text):
    """[(key line, [value lines])] of a .reg export, in its order."""
    found = []
    for line in text.splitlines():
        if line.startswith("["):
            found.append((line, []))
        elif found and line:
            found[-1][1].append(line)
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--arch", default="win64")
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--module", action="append", required=True)
    parser.add_argument("--expected", action="append", required=True)
    parser.add_argument("--record", action="store_true", help="write the expected files instead")
    options = parser.parse_args()
    if len(options.module) != len(options.expected):
        parser.error("one --expected for each --module")

    def wine(*command):
        done = subprocess.run([options.wine_run, "--arch", options.arch, "--prefix", options.prefix,
                               "--", *command], capture_output=True, timeout=300, check=False)
        if done.returncode != 0:
            sys.exit(f"{' '.join(command)}: exit {done.returncode} "
                     f"{done.stderr.decode(errors='replace')}")

    failed = False
    with tempfile.TemporaryDirectory(prefix="kindprobe-entries-") as scratch:
        export_file = os.path.join(scratch, "classes.reg")

        def export():
            wine("reg.exe", "export", "HKEY_CLASSES_ROOT", windows_path(export_file), "/y")
            with open(export_file, "rb") as file:
                return file.read().decode("utf-16")

        before = export()
        for module_file, expected_file in zip(options.module, options.expected):
            module = windows_path(module_file)
            wine("regsvr32.exe", "/s", module)
            after = export()
            wine("regsvr32.exe", "/u", "/s", module)
            text = added_entries(before, after, module)
            name = os.path.basename(module_file)
            if options.record:
                with open(expected_file, "w", encoding="utf-8", newline="") as file:
                    file.write(text)
                print(f"recorded {expected_file}")
                continue
            with open(expected_file, encoding="utf-8", newline="") as file:
                expected = file.read()
            if text != expected:
                failed = True
                print(f"{name} files other entries than {expected_file}:")
                sys.stdout.writelines(difflib.unified_diff(
                    expected.splitlines(True), text.splitlines(True), "expected", "registered"))
            else:
                print(f"{name}: the recorded entries, byte for byte")
    return 1 if failed else 0


def added_entries(before, after, module):
    """The sections `after` has and `before` has not (or holds otherwise), module path, folder
    and type-library platform written as placeholders."""
    old = dict(sections(before))
    lines = []
    for key, values in sections(after):
        if old.get(key) != values:
            lines += [key, *values, ""]
    text = "\r\n".join(lines)
    folder = module[:module.rindex("\\") + 1]
    for raw, name in ((module, "%MODULE%"), (folder, "%FOLDER%")):
        text = text.replace(raw.replace("\\", "\\\\"), name)
    for platform in ("\\win32]", "\\win64]"):
        text = text.replace(platform, "\\%PLATFORM%]")
    return text


if __name__ == "__main__":
    sys.exit(main())
