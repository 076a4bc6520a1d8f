#!/usr/bin/env python3
"""The cost of --explain: kindprobe -j 1 over a list with and without it, on three corpora.

    bench/explain_cost.py --kindprobe build/bench/cli/kindprobe [--runs 10]

- real media: bench/make_media_corpus.sh's 20,000 files written by ffmpeg (whole, cut, renamed),
  listed 3 times;
- fragmented: 3,000 fragmented 60-second MP4s (a fragment every half second, ~240 top-level
  boxes, ending with their fragment index), listed 21 times;
- read bound: 1,000 MP4s built to spend the whole read budget (boxes wider apart than any read
  window, no index), sparse so that they cost little room, listed 60 times;
- tail bound: 1,000 fragmented MP4s with no index and no fragment near their end, which read
  the most bytes a file can cost (its last 16 KiB), listed 60 times.

Prints, per corpus, the best wall and CPU seconds of each run and their ratio. The target is at
most 2 x on every corpus. Runs go round-robin (see throughput.py), so load hits both alike.
"""
import argparse
import os
import shutil
import struct
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from throughput import measure_all  # noqa: E402

ROOT = "/tmp/kindprobe-explain-cost"
HERE = os.path.dirname(os.path.abspath(__file__))


def listed(directory, names, rounds=1):
    """A list of the names, `rounds` times over, so that every corpus gives about 60,000
    checks: CPU time enough to measure to a few hundredths."""
    list_path = directory + ".list"
    with open(list_path, "w") as out:
        for _ in range(rounds):
            for name in names:
                out.write(os.path.join(directory, name) + "\n")
    return list_path


def media_corpus():
    root = "/tmp/kindprobe-media-corpus"
    subprocess.check_call([os.path.join(HERE, "make_media_corpus.sh"), root])
    names = [os.path.join(d, f) for d in sorted(os.listdir(root))
             if os.path.isdir(os.path.join(root, d))
             for f in sorted(os.listdir(os.path.join(root, d)))]
    return listed(root, names, 3)


def copies(directory, count, write_first, rounds):
    """`count` copies of the file write_first(path) makes, once."""
    stamp = os.path.join(directory, ".complete")
    if not os.path.exists(stamp):
        shutil.rmtree(directory, ignore_errors=True)
        os.makedirs(directory)
        first = os.path.join(directory, "f0000.mp4")
        write_first(first)
        for i in range(1, count):
            shutil.copyfile(first, os.path.join(directory, "f%04d.mp4" % i))
        open(stamp, "w").close()
    return listed(directory, ["f%04d.mp4" % i for i in range(count)], rounds)


def fragmented(path):
    subprocess.check_call(["ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y",
                           "-f", "lavfi", "-i", "testsrc=duration=60", "-movflags",
                           "frag_keyframe", "-frag_duration", "500000", path])


def read_bound(path):
    with open(path, "wb") as out:
        out.write(struct.pack(">I4s", 24, b"ftyp") + bytes(16))
        for i in range(60):
            out.seek(24 + i * 20000)
            out.write(struct.pack(">I4s", 20000, b"free"))
        out.truncate(24 + 60 * 20000)


def tail_bound(path):
    with open(path, "wb") as out:
        out.write(struct.pack(">I4s", 24, b"ftyp") + bytes(16))
        out.write(struct.pack(">I4s", 16, b"moov") + bytes(8))
        out.write(struct.pack(">I4s4s4sII", 24, b"moof", bytes([0, 0, 0, 16]), b"mfhd", 0, 1))
        out.write(struct.pack(">I4s", 1 << 20, b"mdat"))
        out.truncate(out.tell() + (1 << 20))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--kindprobe", required=True)
    parser.add_argument("--runs", type=int, default=10)
    args = parser.parse_args()
    corpora = [("real media", media_corpus()),
               ("fragmented MP4", copies(os.path.join(ROOT, "fragmented"), 3000, fragmented, 21)),
               ("read bound", copies(os.path.join(ROOT, "read-bound"), 1000, read_bound, 60)),
               ("tail bound", copies(os.path.join(ROOT, "tail-bound"), 1000, tail_bound, 60))]
    print("best of %d rounds, kindprobe -j 1 -f LIST" % args.runs)
    print("%-16s %7s %9s %7s %9s %7s %8s %8s" % ("corpus", "checks", "plain s", "CPU s",
                                                 "explain s", "CPU s", "x wall", "x CPU"))
    for name, list_path in corpora:
        plain = [args.kindprobe, "-j", "1", "-f", list_path]
        explain = [args.kindprobe, "--explain", "-j", "1", "-f", list_path]
        measured = measure_all([("plain", plain), ("explain", explain)], args.runs)
        (pw, _, pc), (ew, _, ec) = measured["plain"], measured["explain"]
        with open(list_path) as names:
            count = sum(1 for _ in names)
        print("%-16s %7d %9.3f %7.2f %9.3f %7.2f %8.2f %8.2f" %
              (name, count, pw, pc, ew, ec, ew / pw, ec / pc))


if __name__ == "__main__":
    main()
