#!/usr/bin/env python3
"""Whole-process throughput of kindprobe beside a syscall floor and libmagic's `file`.

Builds a deterministic corpus (20,000 files in 40 directories, mixed formats, sizes 0 to
2 MiB; large files are sparse so the corpus is cheap to make), lists it, then runs each
program over the list: once to warm the cache, then --runs rounds over all programs in turn,
keeping each one's best time. Prints files per second, the time relative to the floor, and peak resident memory.

    bench/throughput.py --kindprobe build/release/cli/kindprobe \
                        --floor build/release/bench/syscall_floor

With --cold, the page cache is dropped before every run (as root; otherwise the script says
so and the figures are warm), and each program runs --runs times (at least 3) in turn, the
median kept: the default options, -j 1, a range of -j, the parallel floor and `file -b`, over
the list and over a walk of the corpus.
"""
import statistics
import argparse
import os
import random
import shutil
import struct
import subprocess
import sys
import time

FILES = 20000
DIRECTORIES = 40
MAX_SIZE = 2 * 1024 * 1024
SEED = 20240229


def avi():
    return b"RIFF" + struct.pack("<I", 0x1000) + b"AVI LIST" + bytes(8)


def torrent():
    return b"d8:announce30:http://tracker.example/announce4:infod4:name1:xee"


# (extension, first bytes); None: the extension is left off. Kept small: only heads matter.
FORMATS = [
    (".avi", avi()),
    (".txt", avi()),  # a misleading name: found by the scan
    (".mp3", b"ID3\x03\x00\x00\x00\x00\x00\x10"),
    (".mkv", b"\x1a\x45\xdf\xa3\x01\x00\x00\x00"),
    (".mp4", b"\x00\x00\x00\x20ftypisom\x00\x00\x02\x00"),
    (".mpg", b"\x00\x00\x01\xba\x44\x00\x04\x00\x04\x01"),
    (None, b"\x47\x40\x00\x10" + bytes(184) + b"\x47\x1f\xff\x10" + bytes(184) + b"\x47\x1f\xff\x10"),
    (".png", b"\x89PNG\r\n\x1a\n\x00\x00\x00\x0dIHDR"),
    (".jpg", b"\xff\xd8\xff\xe0\x00\x10JFIF\x00"),
    (".zip", b"PK\x03\x04\x14\x00\x00\x00"),
    (".pdf", b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n"),
    (".html", b"<html><body>"),
    (".txt", b"plain words and more plain words\n"),
    (None, b"plain words without a name\n"),
    (".torrent", torrent()),
    (".part", avi()),
    (".lnk", b"L\x00\x00\x00\x01\x14\x02\x00"),
    (".dat", b"\x00\x01\x02\x03"),
    (".xyz", b"\x00\x01\x02\x03\x04\x05"),  # nothing knows it
    (".wmv", b"\x30\x26\xb2\x75\x8e\x66\xcf\x11\xa6\xd9\x00\xaa\x00\x62\xce\x6c"),
]


def pick_size(rng):
    roll = rng.random()
    if roll < 0.02:
        return 0
    if roll < 0.60:
        return rng.randint(16, 4096)
    if roll < 0.95:
        return rng.randint(4097, 64 * 1024)
    return rng.randint(64 * 1024, MAX_SIZE)


def make_corpus(root):
    stamp = os.path.join(root, ".complete")
    if os.path.exists(stamp):
        return
    shutil.rmtree(root, ignore_errors=True)
    rng = random.Random(SEED)
    for d in range(DIRECTORIES):
        os.makedirs(os.path.join(root, "d%02d" % d))
    for i in range(FILES):
        extension, head = FORMATS[rng.randrange(len(FORMATS))]
        size = pick_size(rng)
        name = "f%05d%s" % (i, extension or "")
        path = os.path.join(root, "d%02d" % (i % DIRECTORIES), name)
        with open(path, "wb") as out:
            if size:
                # Real bytes for the head and a little more; the rest is a hole.
                body = head + bytes(rng.getrandbits(8) for _ in range(min(size, 8192) - len(head)))
                out.write(body[:size])
                out.truncate(size)
    open(stamp, "w").close()


def make_list(root, list_path):
    paths = []
    for d in sorted(os.listdir(root)):
        directory = os.path.join(root, d)
        if os.path.isdir(directory):
            paths += [os.path.join(directory, f) for f in sorted(os.listdir(directory))]
    with open(list_path, "w") as out:
        out.write("\n".join(paths) + "\n")
    # The two halves, for the floor's own two-processor figure.
    half = len(paths) // 2
    for name, part in (("LIST.1", paths[:half]), ("LIST.2", paths[half:])):
        with open(os.path.join(root, name), "w") as out:
            out.write("\n".join(part) + "\n")
    return len(paths)


def corpus_directories(root):
    """The corpus's directories, in name order: what a walk of the corpus is given."""
    return [os.path.join(root, d) for d in sorted(os.listdir(root)) if d.startswith("d")]


def run_once(command):
    # Peak memory from /usr/bin/time: a child forked from this interpreter would report the
    # interpreter's own size until it execs.
    report = os.path.join(os.environ.get("TMPDIR", "/tmp"), "kindprobe-bench-time.%d" % os.getpid())
    start = time.perf_counter()
    with open(os.devnull, "wb") as null:
        status = subprocess.call(["/usr/bin/time", "-f", "%M %U %S", "-o", report] + command,
                                 stdout=null, stderr=null)
    elapsed = time.perf_counter() - start
    if status not in (0, 1):
        sys.exit("failed: %s" % " ".join(command))
    with open(report) as lines:
        peak, user, system = lines.read().split()[-3:]
    os.unlink(report)
    return elapsed, int(peak), float(user) + float(system)


def measure_all(commands, runs):
    """Best wall time, peak memory and best CPU time of each command. The runs go round-robin
    over the commands, so a change in the machine's load hits all of them alike."""
    for _, command in commands:
        run_once(command)  # warm the page cache and the dentry cache
    results = {label: [] for label, _ in commands}
    for _ in range(runs):
        for label, command in commands:
            results[label].append(run_once(command))
    return {label: (min(r[0] for r in rs), max(r[1] for r in rs), min(r[2] for r in rs))
            for label, rs in results.items()}


JOBS_TRIED = [4, 8, 16, 32, 64, 128]
FLOOR_THREADS = 64


def drop_page_cache():
    subprocess.call(["sync"])
    with open("/proc/sys/vm/drop_caches", "w") as control:
        control.write("3\n")


def measure_cold(commands, runs, can_drop):
    """Median wall time and peak memory of each command, each run from a cold page cache."""
    results = {label: [] for label, _ in commands}
    for _ in range(runs):
        for label, command in commands:
            if can_drop:
                drop_page_cache()
            results[label].append(run_once(command))
    return {label: (statistics.median(r[0] for r in rs), max(r[1] for r in rs))
            for label, rs in results.items()}


def cold(args, count, list_path):
    can_drop = os.geteuid() == 0
    if not can_drop:
        print("not root: the page cache is NOT dropped, these figures are warm")
    runs = max(args.runs, 3)
    kp, root = args.kindprobe, args.corpus
    walk_dirs = corpus_directories(root)
    for name, source in (("list", ["-f", list_path]), ("walk", ["-r"] + walk_dirs)):
        commands = [("default", [kp, "-b"] + source), ("-j 1", [kp, "-b", "-j", "1"] + source)]
        commands += [("-j %d" % j, [kp, "-b", "-j", str(j)] + source) for j in JOBS_TRIED]
        if args.before:
            commands.insert(1, ("before: default", [args.before, "-b"] + source))
        # The walk's floor walks too: the same directories read, on one thread, as it goes.
        floor_source = [list_path, str(FLOOR_THREADS)] if name == "list" else \
            ["--walk", str(FLOOR_THREADS)] + walk_dirs
        commands.append(("floor %d threads" % FLOOR_THREADS, [args.floor] + floor_source))
        if not args.no_file and shutil.which("file"):
            if name == "list":
                commands.append(("file -b", ["file", "-b", "-f", list_path]))
            else:
                commands.append(("file -b", ["sh", "-c", 'find "$@" -type f | file -b -f -',
                                             "sh"] + walk_dirs))
        print("\n%s: %d files, %d processors, median of %d cold runs, interleaved" %
              (name, count, os.cpu_count(), runs))
        measured = measure_cold(commands, runs, can_drop)
        best = min((measured[label][0], label) for label, _ in commands if label.startswith("-j"))
        floor = measured["floor %d threads" % FLOOR_THREADS][0]
        print("%-18s %9s %9s %9s %9s" % ("run", "seconds", "x best -j", "x floor", "peak KiB"))
        for label, _ in commands:
            elapsed, peak = measured[label]
            print("%-18s %9.3f %9.2f %9.2f %9d" % (label, elapsed, elapsed / best[0],
                                                     elapsed / floor, peak))
        print("best -j: %s" % best[1])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--kindprobe", required=True)
    parser.add_argument("--floor", required=True, help="the syscall_floor program")
    parser.add_argument("--corpus", default="/tmp/kindprobe-corpus")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--no-file", action="store_true", help="leave out libmagic's file")
    parser.add_argument("--no-explain", action="store_true", help="leave out kindprobe --explain")
    parser.add_argument("--cold", action="store_true",
                        help="drop the page cache before every run (as root)")
    parser.add_argument("--before", metavar="KINDPROBE",
                        help="an earlier build, whose default run is measured beside")
    args = parser.parse_args()

    if not os.access("/usr/bin/time", os.X_OK):
        sys.exit("needs /usr/bin/time (apt-get install time)")
    make_corpus(args.corpus)
    list_path = os.path.join(args.corpus, "LIST")
    count = make_list(args.corpus, list_path)
    if args.cold:
        cold(args, count, list_path)
        return

    commands = [("syscall floor", [args.floor, list_path]),
                # The same, each path looked at before it is opened (no device is opened).
                ("floor, looking first", [args.floor, "--look", list_path]),
                # What two processors can give at best: two floors, each on half of the list.
                ("floor, 2 halves", ["sh", "-c", '"$0" "$1" & "$0" "$2"; wait', args.floor,
                                     list_path + ".1", list_path + ".2"])]
    if not args.no_file and shutil.which("file"):
        commands.append(("file -b -f LIST", ["file", "-b", "-f", list_path]))
    commands.append(("kindprobe -j 1", [args.kindprobe, "-j", "1", "-f", list_path]))
    commands.append(("kindprobe -j 2", [args.kindprobe, "-j", "2", "-f", list_path]))
    commands.append(("kindprobe default", [args.kindprobe, "-f", list_path]))
    if args.before:
        commands.append(("before -j 1", [args.before, "-j", "1", "-f", list_path]))
        commands.append(("before: default", [args.before, "-f", list_path]))
        # And a walk of the same files, before and now.
        walk_dirs = corpus_directories(args.corpus)
        commands.append(("default -r", [args.kindprobe, "-r"] + walk_dirs))
        commands.append(("before: default -r", [args.before, "-r"] + walk_dirs))
    if not args.no_explain:
        # The cost of the reasons: the container walks and the name check on every file.
        commands.append(("--explain -j 1",
                         [args.kindprobe, "--explain", "-j", "1", "-f", list_path]))
        commands.append(("--explain -j 2",
                         [args.kindprobe, "--explain", "-j", "2", "-f", list_path]))

    print("%d files, %d processors, best of %d rounds after one warm-up run" %
          (count, os.cpu_count(), args.runs))
    print("(CPU seconds are user + system; on a busy machine they are steadier than wall time)")
    print("%-18s %9s %9s %9s %9s %9s %9s" %
          ("program", "seconds", "files/s", "x floor", "CPU s", "x floor", "peak KiB"))
    measured = measure_all(commands, args.runs)
    floor = None
    for label, _ in commands:
        elapsed, peak, cpu = measured[label]
        floor = floor or (elapsed, cpu)
        print("%-18s %9.3f %9.0f %9.2f %9.2f %9.2f %9d" %
              (label, elapsed, count / elapsed, elapsed / floor[0], cpu, cpu / floor[1], peak))


if __name__ == "__main__":
    main()
