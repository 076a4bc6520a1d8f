#!/usr/bin/env python3
"""Runs a VBScript or JScript file with Wine's cscript in a Chinese locale and checks the report
it wrote (a UTF-16 file): one line per sample file with its TypeID and description, the closing
count line, and exit code 0. A script that stops on an uncaught error writes nothing more and
exits 0, which the missing lines expose."""
import argparse
import os
import subprocess
import sys
import tempfile

EXPECTED_LINES = [
    "clip.avi|4|AVI文件",
    "empty.avi|3|零字节文件",
    "notes.txt|2|文本文件",
    "unknown.xyz|0|未知类型",
    "checked 4, 0 failed",
]


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine", required=True)
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--samples", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--cscript", default="cscript.exe",
                        help=r"C:\windows\syswow64\cscript.exe for a 32-bit server on 64-bit")
    parser.add_argument("script")
    options = parser.parse_args()

    locales = subprocess.run(["locale", "-a"], capture_output=True, text=True, check=False)
    if "zh_cn.utf8" not in locales.stdout.lower().split():
        print("FAIL: the zh_CN.UTF-8 locale is missing (locale-gen zh_CN.UTF-8)")
        return 1

    environment = dict(os.environ)
    environment.update({
        "WINEPREFIX": options.prefix,
        "WINEDEBUG": "-all",
        "WINEDLLOVERRIDES": "mscoree,mshtml=",
        # Wine takes its ANSI and console code page (936, GBK) from the locale.
        "LANG": "zh_CN.UTF-8",
        "LC_ALL": "zh_CN.UTF-8",
    })
    environment.pop("DISPLAY", None)
    environment.pop("WAYLAND_DISPLAY", None)
    with tempfile.TemporaryDirectory(prefix="kindprobe-wsh-") as directory:
        report_path = os.path.join(directory, "report.txt")
        command = [options.wine, options.cscript, "//nologo", windows_path(options.script),
                   windows_path(options.samples), options.version, windows_path(report_path)]
        done = subprocess.run(command, capture_output=True, env=environment, timeout=240,
                              check=False)
        print(done.stdout.decode("gbk", errors="replace"))
        report = ""
        if os.path.exists(report_path):
            with open(report_path, "rb") as file:
                report = file.read().decode("utf-16", errors="replace")
    lines = [line.strip() for line in report.splitlines() if line.strip()]
    print(report)

    failures = []
    if done.returncode != 0:
        failures.append(f"cscript exited with {done.returncode}")
    for expected in EXPECTED_LINES:
        if expected not in lines:
            failures.append(f"missing line: {expected}")
    failures += [line for line in lines if line.startswith("FAIL")]
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
