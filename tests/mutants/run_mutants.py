#!/usr/bin/env python3
"""Applies each hand-made mutant of mutants.tsv alone, builds a native preset and runs its
tests, then reports which mutants the tests killed. The tree is restored after each one. Not
part of ./test.sh: it costs a build and a test run per mutant.

    tests/mutants/run_mutants.py [--preset gcc] [--only N ...]
"""
import argparse
import os
import subprocess
import sys
from pathlib import Path

TOP = Path(__file__).resolve().parents[2]


def mutants():
    for line in (TOP / "tests/mutants/mutants.tsv").read_text(encoding="utf-8").splitlines():
        if line.strip() and not line.startswith("#"):
            yield line.split("\t")


def quiet(*command):
    return subprocess.run(command, cwd=TOP, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL, check=False).returncode == 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--preset", default="gcc")
    parser.add_argument("--only", type=int, nargs="*", help="the mutants' numbers, from 1")
    options = parser.parse_args()
    jobs = str(os.cpu_count() or 1)
    build = ["cmake", "--build", "--preset", options.preset, "-j", jobs]
    if not quiet("cmake", "--preset", options.preset) or not quiet(*build):
        sys.exit("the unmutated tree does not build")
    outcomes = []
    for number, (file, original, mutated, what) in enumerate(mutants(), 1):
        if options.only and number not in options.only:
            continue
        path = TOP / file
        source = path.read_bytes()
        original, mutated = original.encode(), mutated.encode()
        if source.count(original) != 1:
            outcomes.append((number, "stale", file, what))
            continue
        try:
            path.write_bytes(source.replace(original, mutated))
            if not quiet(*build):
                outcome = "no build"
            elif quiet("ctest", "--preset", options.preset, "-j", jobs, "--stop-on-failure"):
                outcome = "SURVIVED"
            else:
                outcome = "killed"
        finally:
            path.write_bytes(source)
        outcomes.append((number, outcome, file, what))
        print(f"{number:3} {outcome:9} {file}: {what}", flush=True)
    quiet(*build)
    killed = sum(outcome == "killed" for _, outcome, _, _ in outcomes)
    print(f"killed {killed} of {len(outcomes)}")
    return 0 if killed == len(outcomes) else 1


if __name__ == "__main__":
    sys.exit(main())
