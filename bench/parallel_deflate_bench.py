#!/usr/bin/env python3
"""Times the parallel deflate engine against the single-threaded floor.

Two corpora of real files: a copy of /usr/include (thousands of small files) and
three large files of about 196 MB in all (two of the system's headers, one of random bytes).
For each, the rounds take turns between:
  - the floor: one plain zlib stream per file at level 6, read with the program's file calls;
  - as many floors at once as the engine has threads, each on a corpus of its own: the time per
    corpus is the most any parallel build can hope for at that moment;
  - the engine with one thread, and with all threads (one per logical processor, at least two).
Nothing is written. Prints the median times, the median of the rounds' ratios to the floor and to
the floors side by side, how much larger the engine's output is than the floor's, the processor
time (all threads) and the peak memory. The goal is all threads at most 0.65 times the floor.

    bench/parallel_deflate_bench.py [--wine] [--rounds N] [--blocks 131072,262144,...]
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
LEVEL = 6
GOAL = 0.65


def build(wine):
    if wine:
        subprocess.run(["cmake", "--build", os.path.join(ROOT, "build", "win"), "-j", "2",
                        "--target", "parallel_deflate_bench"], check=True, stdout=subprocess.DEVNULL)
        subprocess.run([os.path.join(ROOT, "scripts", "wine-start.sh")], check=True)
        return [os.path.join(ROOT, "scripts", "wine-run.sh"),
                os.path.join(ROOT, "build", "win", "parallel_deflate_bench.exe")]
    out = os.path.join(ROOT, "build", "bench")
    os.makedirs(out, exist_ok=True)
    sources = [os.path.join(ROOT, "bench", "parallel_deflate_bench.cpp"),
               os.path.join(ROOT, "archive", "parallel_deflate.cpp")]
    for name in sorted(os.listdir(os.path.join(ROOT, "core"))):
        if name.endswith(".cpp") and not name.endswith("_win32.cpp") and name != "winmain.cpp":
            sources.append(os.path.join(ROOT, "core", name))
    exe = os.path.join(out, "parallel_deflate_bench")
    subprocess.run(["g++", "-std=c++17", "-O2", "-fexec-charset=CP932", "-finput-charset=UTF-8",
                    "-I" + ROOT] + sources + ["-lz", "-pthread", "-o", exe], check=True)
    return [exe]


def headers():
    """The system's headers, in a fixed order: the text of the large files."""
    parts = []
    for folder, dirs, names in os.walk("/usr/include"):
        dirs.sort()
        for name in sorted(names):
            path = os.path.join(folder, name)
            if os.path.isfile(path) and not os.path.islink(path):
                with open(path, "rb") as f:
                    parts.append(f.read())
    return b"".join(parts)


def small_files(base):
    """A copy of /usr/include without its links, which the walk would follow."""
    target = os.path.join(base, "include")

    def links(folder, names):
        return [name for name in names if os.path.islink(os.path.join(folder, name))]

    shutil.copytree("/usr/include", target, ignore=links)
    return target


def large_files(base):
    """Two files of 74 MiB of headers and one of 48 MiB of random bytes."""
    target = os.path.join(base, "large")
    os.makedirs(target)
    text = headers()
    for index in range(2):
        with open(os.path.join(target, "text%d.dat" % index), "wb") as out:
            written = 0
            while written < 74 << 20:
                piece = text[index * 1000:][:(74 << 20) - written]
                out.write(piece)
                written += len(piece)
    with open(os.path.join(target, "random.dat"), "wb") as out:
        out.write(os.urandom(48 << 20))
    return target


def parse(out):
    mode, threads, block, count, size_in, size_out, seconds, peak, cpu = out.split()
    return {"files": int(count), "threads": int(threads), "in": int(size_in), "out": int(size_out),
            "seconds": float(seconds), "peak": float(peak), "cpu": float(cpu)}


def run(command, args):
    return parse(subprocess.run(command + args, check=True, capture_output=True, text=True).stdout)


def side_by_side(command, args, count):
    """`count` floors at once: the time the machine needs per corpus when every core works on
    a corpus of its own. It is the best any split of one corpus can do, and on a machine that
    others use too it shows how many cores are really free."""
    runs = [subprocess.Popen(command + args, stdout=subprocess.PIPE, text=True)
            for _ in range(count)]
    results = [parse(p.communicate()[0]) for p in runs]
    result = dict(results[0])
    result["seconds"] = max(r["seconds"] for r in results) / count
    result["cpu"] = sum(r["cpu"] for r in results) / count
    result["peak"] = max(r["peak"] for r in results)
    result["threads"] = count
    return result


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine", action="store_true")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--blocks", default="0", help="block sizes, 0 for the engine's default")
    args = parser.parse_args()
    command = build(args.wine)
    scratch = tempfile.mkdtemp(prefix="packwren-pdeflate-")

    def seen(path):
        return ("Z:" + path.replace("/", "\\")) if args.wine else path

    try:
        threads = run(command, [seen(scratch), "engine", str(LEVEL), "0"])["threads"]
        corpora = [("small files", small_files(scratch)), ("large files", large_files(scratch))]
        print("%s, level %d, %d rounds" % ("Windows build under Wine" if args.wine else "native",
                                          LEVEL, args.rounds))
        met = True
        for title, folder in corpora:
            folder = seen(folder)
            run(command, [folder, "floor", str(LEVEL)])  # the page cache, warmed once
            modes = [("floor", ["floor", str(LEVEL)]), ("floors side by side", ["floor", str(LEVEL)])]
            for block in args.blocks.split(","):
                tail = [block] if block != "0" else []
                modes.append(("1 thread" + (" " + block if tail else ""),
                              ["engine", str(LEVEL), "1"] + tail))
                modes.append(("all threads" + (" " + block if tail else ""),
                              ["engine", str(LEVEL), "0"] + tail))
            results = {name: [] for name, _ in modes}
            for _ in range(args.rounds):
                for name, mode in modes:
                    if name == "floors side by side":
                        results[name].append(side_by_side(command, [folder] + mode, threads))
                    else:
                        results[name].append(run(command, [folder] + mode))
            floor, ceiling = results["floor"], results["floors side by side"]
            print("%s: %d files, %.1f MB" % (title, floor[0]["files"], floor[0]["in"] / 1e6))
            for name, _ in modes:
                rounds = results[name]
                seconds = statistics.median(r["seconds"] for r in rounds)
                ratio = statistics.median(r["seconds"] / f["seconds"] for r, f in zip(rounds, floor))
                bound = statistics.median(r["seconds"] / c["seconds"] for r, c in zip(rounds, ceiling))
                cpu = statistics.median(r["cpu"] for r in rounds)
                grown = 100.0 * (rounds[0]["out"] - floor[0]["out"]) / floor[0]["out"]
                print("  %-20s %d thr %6.3f s (best %.3f) %5.1f MB/s  x%.2f floor  x%.2f side by side"
                      "  cpu %6.3f s  out %+.3f%%  peak %.1f MiB"
                      % (name, rounds[0]["threads"], seconds, min(r["seconds"] for r in rounds),
                         rounds[0]["in"] / seconds / 1e6, ratio, bound, cpu, grown,
                         max(r["peak"] for r in rounds)))
                if name.startswith("all threads"):
                    met = met and ratio <= GOAL
        print("goal (all threads at most %.2f x floor): %s" % (GOAL, "met" if met else "missed"))
    finally:
        shutil.rmtree(scratch)


if __name__ == "__main__":
    main()
