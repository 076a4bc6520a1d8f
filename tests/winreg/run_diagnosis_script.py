#!/usr/bin/env python3
"""Runs a VBScript or JScript client of Kindprobe.Diagnosis with Wine's cscript on files made
to give each reason (cut, renamed, no media data) and checks the report it wrote (UTF-16): each
answer is exactly the line kindprobe.exe --explain --json writes for the same path in the same
language, with the reason expected; a language it does not know is refused with E_INVALIDARG."""
import argparse
import json
import os
import subprocess
import sys
import tempfile

# name, content, type id, reason codes. The AVI header declares 4096 bytes and the file has 16;
# the whole AVI named .txt is renamed; the FLV header is followed by no tag.
FILES = [
    ("cut.avi", b"RIFF\xf8\x0f\x00\x00AVI LIST", 4, ["truncated"]),
    ("clip.txt", b"RIFF\x08\x00\x00\x00AVI LIST", 4, ["renamed"]),
    ("empty.flv", b"FLV\x01\x05\x00\x00\x00\x09\x00\x00\x00\x00", 4, ["no-media-data"]),
]
# The command's language option for each language the script asks for.
LANGUAGES = {"en": ["--lang", "en"], "zh": []}
# E_INVALIDARG as each language reports it: JScript gives the HRESULT, VBScript its own error 5
# ("Invalid procedure call or argument"), which is what it makes of E_INVALIDARG.
E_INVALIDARG = {".js": "80070057", ".vbs": "5"}


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine", required=True)
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--kindprobe", required=True, help="kindprobe.exe of the same build")
    parser.add_argument("--cscript", default="cscript.exe")
    parser.add_argument("script")
    options = parser.parse_args()

    environment = dict(os.environ, WINEPREFIX=options.prefix, WINEDEBUG="-all",
                       WINEDLLOVERRIDES="mscoree,mshtml=")
    environment.pop("DISPLAY", None)
    environment.pop("WAYLAND_DISPLAY", None)

    def run(*command):
        return subprocess.run([options.wine, *command], capture_output=True, env=environment,
                              timeout=240, check=False)

    failures = []
    with tempfile.TemporaryDirectory(prefix="kindprobe-diagnosis-") as directory:
        for name, content, _, _ in FILES:
            with open(os.path.join(directory, name), "wb") as file:
                file.write(content)
        report_path = os.path.join(directory, "report.txt")
        done = run(options.cscript, "//nologo", windows_path(options.script),
                   windows_path(directory), windows_path(report_path))
        if done.returncode != 0:
            failures.append(f"cscript exited with {done.returncode}")
        report = ""
        if os.path.exists(report_path):
            with open(report_path, "rb") as file:
                report = file.read().decode("utf-16")
        print(report)
        answers = {}
        for line in report.splitlines():
            parts = line.split("|", 2)
            if len(parts) == 3:
                answers[(parts[0], parts[1])] = parts[2]
            elif len(parts) == 2:
                answers[(parts[0],)] = parts[1]

        for name, _, type_id, reasons in FILES:
            path = windows_path(os.path.join(directory, name))
            for language, language_option in LANGUAGES.items():
                answer = answers.get((name, language))
                if answer is None:
                    failures.append(f"{name} ({language}): no answer")
                    continue
                command = run(options.kindprobe, "--explain", "--json", *language_option, path)
                expected = command.stdout.decode("utf-8").rstrip("\r\n")
                if answer != expected:
                    failures.append(f"{name} ({language}): {answer}\n  the command wrote {expected}")
                got = json.loads(answer)
                if got.get("typeId") != type_id:
                    failures.append(f"{name} ({language}): typeId {got.get('typeId')}, expected {type_id}")
                codes = [reason.get("code") for reason in got.get("reasons", [])]
                if codes != reasons:
                    failures.append(f"{name} ({language}): reasons {codes}, expected {reasons}")
        refused = E_INVALIDARG[os.path.splitext(options.script)[1]]
        if answers.get(("fr",)) != refused:
            failures.append(f"language fr gave {answers.get(('fr',))}, expected {refused}")
        if "done" not in report.splitlines():
            failures.append("the script did not finish")
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
