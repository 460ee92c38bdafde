#!/usr/bin/env python3
"""Times the archive build against its floor.

Two corpora of real files: a copy of /usr/include (thousands of small files) and a few large
files, one of them incompressible. For each, in one run on this machine:
  - packwren.exe in batch mode under Wine, level 6;
  - the floor: deflate_floor.exe under Wine, which reads every file and raw-deflates it with the
    same zlib at level 6 (same toolchain), and writes nothing;
  - Info-ZIP zip -6, natively;
  - packwren again with every file encrypted with AES-256, and again with the read-back.
Prints the times (median and best of the rounds, the tools taking turns) and the ratios (median
of the rounds' own ratios), and checks that packwren takes no more than 1.15 times the floor and
that every deflated entry has the size zlib gives at that level.

    bench/archive_bench.py [--rounds N] [--build build/win]
"""

import argparse
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
LIMIT = 1.15


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


def timed(command, **kwargs):
    # Output goes to a file, not a pipe: the desktop process that Wine starts for a program's
    # first window inherits its handles and lingers, and a pipe would be timed until it ends.
    with tempfile.TemporaryFile() as output:
        start = time.perf_counter()
        result = subprocess.run(command, stdout=output, stderr=subprocess.STDOUT, **kwargs)
        elapsed = time.perf_counter() - start
        if result.returncode != 0:
            output.seek(0)
            program = command[1] if command[0] == WINE_RUN else command[0]
            raise RuntimeError("%s failed (%d): %s" % (program, result.returncode,
                                                      output.read()[-1000:]))
    return elapsed


def check_sizes(archive, sizes_file, files):
    """Every deflated entry has zlib's size; every stored one is a file zlib could not shrink."""
    floor = {}
    with open(sizes_file, "rb") as f:
        for line in f.read().decode("cp932").splitlines():
            size, path = line.split(" ", 1)
            floor[path] = int(size)
    mismatches = 0
    with zipfile.ZipFile(archive) as z:
        infos = z.infolist()
        if len(infos) != len(files):
            return "%d entries for %d files" % (len(infos), len(files))
        for info, path in zip(infos, files):
            expected = floor[pwp.windows_path(path)]
            if info.compress_type == 8 and info.compress_size != expected:
                mismatches += 1
            if info.compress_type == 0 and expected < info.file_size:
                mismatches += 1
    return "same as zlib" if mismatches == 0 else "%d entries differ from zlib" % mismatches


def run_corpus(label, folder, work, exe, floor_exe, rounds):
    entries, files = project_entries(folder)
    project = os.path.join(work, label + ".pwp")
    pwp.write_project(project, label, entries, level=LEVEL)
    listing = os.path.join(work, label + ".txt")
    with open(listing, "wb") as out:
        out.write("".join(pwp.windows_path(p) + "\r\n" for p in files).encode("cp932"))
    archive = os.path.join(work, label + ".zip")
    sizes = os.path.join(work, label + ".sizes")
    native_zip = os.path.join(work, label + "-infozip.zip")
    total = sum(os.path.getsize(p) for p in files)

    variants = {"packwren": project}
    for variant, password, options in (("+AES-256", "bench", {"ENCRYPTION": 1}),
                                       ("+verify", None, {"VERIFY": 1})):
        variants[variant] = os.path.join(work, label + variant + ".pwp")
        pwp.write_project(variants[variant], label, entries, LEVEL, password, options)
    build = lambda variant: timed([WINE_RUN, exe, pwp.windows_path(variants[variant]), "-o",
                                   pwp.windows_path(archive)], cwd=work)
    packwren = lambda: build("packwren")
    floor = lambda: timed([WINE_RUN, floor_exe, pwp.windows_path(listing), str(LEVEL),
                           pwp.windows_path(sizes)], cwd=work)

    def infozip():
        if os.path.exists(native_zip):
            os.remove(native_zip)
        return timed(["zip", "-%d" % LEVEL, "-r", "-q", native_zip, os.path.basename(folder)],
                     cwd=os.path.dirname(folder))

    floor()  # warms the page cache and Wine
    times = {"packwren": [], "floor": [], "zip": [], "+AES-256": [], "+verify": []}
    for round_ in range(rounds):
        # Alternating which goes first cancels a drift of the machine's load within a round.
        if round_ % 2 == 0:
            times["packwren"].append(packwren())
            times["floor"].append(floor())
        else:
            times["floor"].append(floor())
            times["packwren"].append(packwren())
        times["zip"].append(infozip())
        for variant in ("+AES-256", "+verify"):
            times[variant].append(build(variant))
    # The machine may be shared: each round's tools run back to back under the same load, so
    # the ratio is taken per round and the median of those is the figure.
    ratio = statistics.median(p / f for p, f in zip(times["packwren"], times["floor"]))
    median = {k: statistics.median(v) for k, v in times.items()}
    best = {k: min(v) for k, v in times.items()}
    build("packwren")  # the archive whose sizes are checked
    sizes_note = check_sizes(archive, sizes, files)
    print("%s: %d files, %.1f MB" % (label, len(files), total / 1e6))
    for tool in ("packwren", "floor", "zip", "+AES-256", "+verify"):
        print("  %-9s median %7.3f s   best %7.3f s" % (tool, median[tool], best[tool]))
    rounds_text = " ".join("%.3f" % (p / f) for p, f in zip(times["packwren"], times["floor"]))
    print("  packwren/floor %.3f (%s %.2f; rounds %s; best times %.3f)"
          % (ratio, "within" if ratio <= LIMIT else "OVER", LIMIT, rounds_text,
             best["packwren"] / best["floor"]))
    print("  packwren/zip -%d %.3f   sizes: %s"
          % (LEVEL, statistics.median(p / z for p, z in zip(times["packwren"], times["zip"])),
             sizes_note))
    return ratio <= LIMIT and sizes_note == "same as zlib"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=7)
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
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("within %.2f x the floor, sizes as zlib's: %s" % (LIMIT, "yes" if ok else "NO"))
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
