#!/usr/bin/env python3
"""Times the archive build on every core against the single-threaded floor.

Two corpora of real files: a copy of /usr/include (thousands of small files) and a few large
files, one of them incompressible. For each, in one run on this machine:
  - packwren.exe in batch mode under Wine, level 6, with its default threads (one per logical
    processor) and with -t 1;
  - the floor: deflate_floor.exe under Wine, which reads every file and raw-deflates it with the
    same zlib at level 6 in one stream per file on one thread, and writes nothing;
  - as many floors at once as there are logical processors, each on the whole corpus: the time
    per corpus is the best any parallel build can hope for under the machine's load of the moment;
  - Info-ZIP zip -6, natively.
Prints the times (median and best of the rounds, the tools taking turns), the ratios (median of
the rounds' own ratios), the peak memory of each packwren run, and checks that all threads take no
more than 0.65 times the floor, that the deflated data is within 0.5% of the floor's one stream
per file, and that the archives of both thread counts are byte-identical. Last, the peak memory of
a build of one 1 MiB file and of one 2 GiB file: the build's memory does not grow with file sizes.

    bench/archive_bench.py [--rounds N] [--build build/win]
"""

import argparse
import filecmp
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "scripts"))
import project_file as pwp  # noqa: E402

WINE_RUN = os.path.join(ROOT, "scripts", "wine-run.sh")
LEVEL = 6
LIMIT = 0.65
SIZE_LIMIT = 1.005


def small_corpus(base):
    """A copy of /usr/include: regular files only (links are left out)."""
    target = os.path.join(base, "include")
    shutil.copytree("/usr/include", target, symlinks=True)
    return target


def large_corpus(base):
    """Two compressible files made of the system's headers and one of random bytes."""
    target = os.path.join(base, "large")
    os.makedirs(target)
    parts, size = [], 0
    for folder, _, names in sorted(os.walk("/usr/include")):
        for name in sorted(names):
            path = os.path.join(folder, name)
            if size < 48 << 20 and os.path.isfile(path) and not os.path.islink(path):
                with open(path, "rb") as f:
                    parts.append(f.read())
                size += len(parts[-1])
    headers = b"".join(parts)
    for index in range(2):
        with open(os.path.join(target, "text%d.dat" % index), "wb") as out:
            out.write(headers[index * 1000:] + headers[:index * 1000])
    with open(os.path.join(target, "random.dat"), "wb") as out:
        out.write(os.urandom(48 << 20))
    return target


def project_entries(folder):
    """The folder as project entries, and the list of its files (native paths) in walk order."""
    files = []

    def walk(path):
        entries, seen = [], set()
        for name in sorted(os.listdir(path)):
            full = os.path.join(path, name)
            # A project holds one of the names that differ only in case (xt_MARK.h, xt_mark.h).
            if os.path.islink(full) or name.lower() in seen:
                continue
            seen.add(name.lower())
            if os.path.isdir(full):
                entries.append(pwp.Folder(name, children=walk(full)))
            else:
                files.append(full)
                entries.append(pwp.File(name, full))
        return entries

    return walk(folder), files


def peak_memory(pid):
    """The process's own peak resident memory so far, in MiB (0 once it has gone)."""
    try:
        with open("/proc/%d/status" % pid) as status:
            for line in status:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1]) / 1024
    except OSError:
        pass
    return 0.0


def timed(command, **kwargs):
    """Runs a command; its wall time in seconds and its process's peak resident memory in MiB
    (Wine's own included: wine-run.sh and Wine exec into the program's process)."""
    # Output goes to a file, not a pipe: the desktop process that Wine starts for a program's
    # first window inherits its handles and lingers, and a pipe would be timed until it ends.
    with tempfile.TemporaryFile() as output:
        start = time.perf_counter()
        process = subprocess.Popen(command, stdout=output, stderr=subprocess.STDOUT, **kwargs)
        peak = 0.0
        while process.poll() is None:
            peak = max(peak, peak_memory(process.pid))
            time.sleep(0.02)
        elapsed = time.perf_counter() - start
        if process.returncode != 0:
            output.seek(0)
            program = command[1] if command[0] == WINE_RUN else command[0]
            raise RuntimeError("%s failed (%d): %s" % (program, process.returncode,
                                                      output.read()[-1000:]))
    return elapsed, peak


def check_sizes(archive, sizes_file, files):
    """The deflated data against the floor's one stream per file; stored entries only for files
    zlib could not shrink."""
    floor = {}
    with open(sizes_file, "rb") as f:
        for line in f.read().decode("cp932").splitlines():
            size, path = line.split(" ", 1)
            floor[path] = int(size)
    packed = expected = misstored = 0
    with zipfile.ZipFile(archive) as z:
        infos = z.infolist()
        if len(infos) != len(files):
            return None, "%d entries for %d files" % (len(infos), len(files))
        for info, path in zip(infos, files):
            size = floor[pwp.windows_path(path)]
            if info.compress_type == 8:
                packed += info.compress_size
                expected += size
            elif size < info.file_size:
                misstored += 1
    ratio = packed / expected if expected else 1.0
    return ratio, "%d stored entries zlib could shrink" % misstored if misstored else ""


def run_corpus(label, folder, work, exe, floor_exe, rounds):
    entries, files = project_entries(folder)
    project = os.path.join(work, label + ".pwp")
    pwp.write_project(project, label, entries, level=LEVEL)
    listing = os.path.join(work, label + ".txt")
    with open(listing, "wb") as out:
        out.write("".join(pwp.windows_path(p) + "\r\n" for p in files).encode("cp932"))
    archives = {tool: os.path.join(work, "%s-%s.zip" % (label, tool)) for tool in ("all", "one")}
    sizes = os.path.join(work, label + ".sizes")
    native_zip = os.path.join(work, label + "-infozip.zip")
    total = sum(os.path.getsize(p) for p in files)

    def build(tool):
        threads = [] if tool == "all" else ["-t", "1"]
        return timed([WINE_RUN, exe, pwp.windows_path(project), "-o",
                      pwp.windows_path(archives[tool])] + threads, cwd=work)

    def floor():
        return timed([WINE_RUN, floor_exe, pwp.windows_path(listing), str(LEVEL),
                      pwp.windows_path(sizes)], cwd=work)

    def floors_side_by_side():
        # As many floors at once as there are logical processors: the time per corpus is the
        # most any split of one corpus over every core can hope for, under the load of the moment.
        count = os.cpu_count()
        start = time.perf_counter()
        runs = [subprocess.Popen([WINE_RUN, floor_exe, pwp.windows_path(listing), str(LEVEL)],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.STDOUT, cwd=work)
                for _ in range(count)]
        if any(run.wait() != 0 for run in runs):
            raise RuntimeError("deflate_floor failed")
        return (time.perf_counter() - start) / count, 0.0

    def infozip():
        if os.path.exists(native_zip):
            os.remove(native_zip)
        return timed(["zip", "-%d" % LEVEL, "-r", "-q", native_zip, os.path.basename(folder)],
                     cwd=os.path.dirname(folder))

    tools = {"all": lambda: build("all"), "one": lambda: build("one"), "floor": floor,
             "side": floors_side_by_side, "zip": infozip}
    floor()  # warms the page cache and Wine
    times = {tool: [] for tool in tools}
    memory = {tool: 0.0 for tool in tools}
    order = list(tools)
    for round_ in range(rounds):
        # Rotating which goes first cancels a drift of the machine's load within a round.
        for tool in order[round_ % len(order):] + order[:round_ % len(order)]:
            elapsed, peak = tools[tool]()
            times[tool].append(elapsed)
            memory[tool] = max(memory[tool], peak)
    # The machine may be shared: each round's tools run back to back under the same load, so
    # ratios are taken per round and the median of those is the figure.
    per_round = lambda a, b: statistics.median(x / y for x, y in zip(times[a], times[b]))
    print("%s: %d files, %.1f MB" % (label, len(files), total / 1e6))
    names = {"all": "packwren, all threads", "one": "packwren -t 1", "floor": "floor (1 thread)",
             "side": "floors side by side", "zip": "Info-ZIP zip -6 (native)"}
    for tool in tools:
        peak = "%6.1f MiB" % memory[tool] if memory[tool] else "-"
        print("  %-25s median %7.3f s   best %7.3f s   peak %s"
              % (names[tool], statistics.median(times[tool]), min(times[tool]), peak))
    print("  floors side by side/floor %.3f: what every core gives at this load (all/side %.3f)"
          % (per_round("side", "floor"), per_round("all", "side")))
    ratio = per_round("all", "floor")
    rounds_text = " ".join("%.3f" % (a / f) for a, f in zip(times["all"], times["floor"]))
    print("  all/floor %.3f (%s %.2f; rounds %s)   one/floor %.3f   all/zip %.3f   all/one %.3f"
          % (ratio, "within" if ratio <= LIMIT else "OVER", LIMIT, rounds_text,
             per_round("one", "floor"), per_round("all", "zip"), per_round("all", "one")))
    identical = filecmp.cmp(archives["all"], archives["one"], shallow=False)
    size_ratio, problem = check_sizes(archives["all"], sizes, files)
    size_ok = size_ratio is not None and size_ratio <= SIZE_LIMIT and not problem
    print("  deflated size / floor's %s (%s %.3f) %s   archives of all and one thread %s"
          % ("-" if size_ratio is None else "%.5f" % size_ratio, "within" if size_ok else "OVER",
             SIZE_LIMIT, problem, "identical" if identical else "DIFFER"))
    return ratio <= LIMIT and size_ok and identical


def memory_probe(work, exe):
    """Peak memory of a build of one small and of one large file: the pipeline holds a bounded
    number of blocks, never a file."""
    peaks = []
    for label, size in (("1 MiB", 1 << 20), ("2 GiB", 2 << 30)):
        folder = os.path.join(work, "memory")
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        path = os.path.join(folder, "data.bin")
        with open(path, "wb") as out:
            out.truncate(size)  # sparse zeros: read at memory speed, deflated quickly
        project = os.path.join(work, "memory.pwp")
        pwp.write_project(project, "memory", [pwp.File("data.bin", path)], level=1)
        elapsed, peak = timed([WINE_RUN, exe, pwp.windows_path(project), "-o",
                               pwp.windows_path(os.path.join(work, "memory.zip"))], cwd=work)
        peaks.append(peak)
        print("memory: one file of %s: %.2f s, peak %.1f MiB" % (label, elapsed, peak))
    shutil.rmtree(os.path.join(work, "memory"), ignore_errors=True)
    print("memory: the 2 GiB file takes %.1f MiB more than the 1 MiB one" % (peaks[1] - peaks[0]))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "win"))
    args = parser.parse_args()
    built = [os.path.join(args.build, name) for name in ("packwren.exe", "deflate_floor.exe")]
    for path in built:
        if not os.path.exists(path):
            sys.exit("missing %s: build first (scripts/build.sh)" % path)
    subprocess.run([os.path.join(ROOT, "scripts", "wine-start.sh")], check=True)
    work = tempfile.mkdtemp(prefix="packwren-bench-")
    try:
        # Private copies: packwren.exe reads packwren.ini beside itself, and there is none here.
        exe, floor_exe = [shutil.copy(path, work) for path in built]
        ok = True
        ok &= run_corpus("small", small_corpus(work), work, exe, floor_exe, args.rounds)
        ok &= run_corpus("large", large_corpus(work), work, exe, floor_exe, args.rounds)
        memory_probe(work, exe)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("all threads within %.2f x the floor, sizes within %.1f%%, same bytes: %s"
          % (LIMIT, (SIZE_LIMIT - 1) * 100, "yes" if ok else "NO"))
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
