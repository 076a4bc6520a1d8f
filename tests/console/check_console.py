#!/usr/bin/env python3
"""kindprobe.exe under Wine as a person at a Windows console meets it.

On a pseudo-terminal (a console to the program) in a Chinese and in an English UTF-8 locale the
descriptions must read correctly; redirected, the output must be the UTF-8 bytes it always was,
the same in both locales. Wildcards in the last component of a path argument expand to the
matching files in name order (directories too with -r), a pattern that matches nothing is
reported as a path that cannot be opened, list entries are taken as written, and "/?" prints
the help. Prints one line per case and exits non-zero when any fails.
"""
import argparse
import os
import shlex
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

LOCALES = ("zh_CN.UTF-8", "C.UTF-8")
TEXT = "文本文件"
AVI = "AVI文件"
UNKNOWN = "未知类型"


def windows_path(path):
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


class Runner:
    def __init__(self, options):
        self.options = options
        self.failures = []

    def environment(self, locale):
        environment = dict(os.environ)
        environment.update({
            "WINEPREFIX": self.options.prefix, "WINEARCH": self.options.winearch,
            "WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml=",
            "LANG": locale, "LC_ALL": locale})
        environment.pop("DISPLAY", None)
        environment.pop("WAYLAND_DISPLAY", None)
        return environment

    def command(self, arguments):
        return [self.options.wine, windows_path(self.options.exe), *arguments]

    def redirected(self, arguments, locale="C.UTF-8"):
        return subprocess.run(self.command(arguments), env=self.environment(locale),
                              capture_output=True, timeout=120, check=False)

    def on_console(self, arguments, locale):
        """What the program showed on a pseudo-terminal, decoded, without terminal controls."""
        line = " ".join(shlex.quote(part) for part in self.command(arguments))
        done = subprocess.run(["script", "-qec", line, "/dev/null"], env=self.environment(locale),
                              capture_output=True, timeout=120, check=False)
        text = done.stdout.decode("utf-8", errors="replace")
        # Wine's console draws with escape sequences; only the text matters here.
        while "\x1b[" in text:
            start = text.index("\x1b[")
            end = start + 2
            while end < len(text) and not text[end].isalpha():
                end += 1
            text = text[:start] + text[end + 1:]
        return done.returncode, [line.strip("\r") for line in text.splitlines() if line.strip()]

    def check(self, name, condition, detail):
        print(f"{'ok  ' if condition else 'FAIL'} {name}")
        if not condition:
            print(f"     {detail}")
            self.failures.append(name)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--wine", required=True)
    parser.add_argument("--winearch", required=True, choices=("win32", "win64"))
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--samples", required=True)
    options = parser.parse_args()
    run = Runner(options)

    if not Path(options.prefix, "system.reg").is_file():
        subprocess.run([options.wine, "wineboot", "--init"], env=run.environment("C.UTF-8"),
                       capture_output=True, timeout=300, check=False)

    samples = Path(options.samples)
    notes, clip = windows_path(samples / "notes.txt"), windows_path(samples / "clip.avi")
    expected = f"{notes}: {TEXT} (TypeID 2)\n{clip}: {AVI} (TypeID 4)\n".encode()

    for locale in LOCALES:
        status, lines = run.on_console([notes, clip], locale)
        run.check(f"console, {locale}: Chinese descriptions readable",
                  status == 0 and lines == [f"{notes}: {TEXT} (TypeID 2)",
                                            f"{clip}: {AVI} (TypeID 4)"],
                  f"exit {status}: {lines}")
        done = run.redirected([notes, clip], locale)
        run.check(f"redirected, {locale}: the same UTF-8 bytes",
                  done.returncode == 0 and done.stdout == expected, f"{done.stdout!r}")

    with tempfile.TemporaryDirectory(prefix="kindprobe-console-") as scratch:
        folder = Path(scratch)
        # Name order is code unit order: 一 U+4E00, 三 U+4E09, 二 U+4E8C.
        shutil.copyfile(samples / "notes.txt", folder / "片段二.txt")
        shutil.copyfile(samples / "clip.avi", folder / "片段一.avi")
        shutil.copyfile(samples / "notes.txt", folder / "片段三.txt")
        shutil.copyfile(samples / "clip.avi", folder / "其他.avi")
        (folder / "片段目录").mkdir()
        shutil.copyfile(samples / "notes.txt", folder / "片段目录" / "内容.txt")
        base = windows_path(folder)

        status, lines = run.on_console([f"{base}\\片段*"], "zh_CN.UTF-8")
        run.check("wildcard: Chinese names expand in name order, files only",
                  status == 0 and lines == [f"{base}\\片段一.avi: {AVI} (TypeID 4)",
                                            f"{base}\\片段三.txt: {TEXT} (TypeID 2)",
                                            f"{base}\\片段二.txt: {TEXT} (TypeID 2)"],
                  f"exit {status}: {lines}")

        done = run.redirected([f"{base}\\片段?.txt", f"{base}\\*.avi"])
        run.check("wildcard: '?' and several patterns, redirected",
                  done.returncode == 0 and done.stdout.decode() ==
                  f"{base}\\片段三.txt: {TEXT} (TypeID 2)\n{base}\\片段二.txt: {TEXT} (TypeID 2)\n"
                  f"{base}\\其他.avi: {AVI} (TypeID 4)\n{base}\\片段一.avi: {AVI} (TypeID 4)\n",
                  f"{done.stdout.decode(errors='replace')!r}")

        done = run.redirected(["-r", f"{base}\\片段目*"])
        run.check("wildcard with -r: a matching directory is walked",
                  done.returncode == 0 and done.stdout.decode() ==
                  f"{base}\\片段目录\\内容.txt: {TEXT} (TypeID 2)\n",
                  f"{done.stdout.decode(errors='replace')!r}")

        done = run.redirected([f"{base}\\无此文件*", notes])
        run.check("a pattern that matches nothing cannot be opened",
                  done.returncode == 1 and done.stdout.decode() ==
                  f"{base}\\无此文件*: {UNKNOWN} (TypeID 0)\n{notes}: {TEXT} (TypeID 2)\n",
                  f"exit {done.returncode}: {done.stdout.decode(errors='replace')!r}")

        listing = folder / "list.txt"
        listing.write_bytes(f"{base}\\片段*\n".encode())
        done = run.redirected(["-f", windows_path(listing)])
        run.check("list entries are not expanded",
                  done.returncode == 1 and done.stdout.decode() ==
                  f"{base}\\片段*: {UNKNOWN} (TypeID 0)\n",
                  f"exit {done.returncode}: {done.stdout.decode(errors='replace')!r}")

    help_text = run.redirected(["--help"])
    for arguments in (["/?"], ["/?", notes]):
        done = run.redirected(arguments)
        run.check(f"{' '.join(arguments)} prints the help",
                  done.returncode == 0 and done.stdout.startswith(b"Usage: kindprobe")
                  and done.stdout == help_text.stdout, f"{done.stdout[:80]!r}")

    return 1 if run.failures else 0


if __name__ == "__main__":
    sys.exit(main())
