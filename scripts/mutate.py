#!/usr/bin/env python3
"""Plants each fault of scripts/mutations.py in turn and runs the suites against it.

For every mutation: the file is changed, the builds that compile it are rebuilt incrementally,
and the suites run with an early exit (native first when the file builds natively, then the
fuzz corpus replay, then the Windows suite under Wine); a failing suite kills the mutation. The
file is put back afterwards whatever happens, Ctrl-C included. Prints a table and the totals.

  scripts/mutate.py                   every mutation
  scripts/mutate.py --only a,b        those ids
  scripts/mutate.py --check           only that every original text occurs exactly once
  scripts/mutate.py --json out.json   also writes the results
  scripts/mutate.py --compare old.json   marks mutations killed in old.json that survive now
  scripts/mutate.py --table a.json b.json   prints two runs side by side, runs nothing

Run scripts/setup.sh (and scripts/fuzz.sh once, for build/fuzz) first.
"""
import argparse
import json
import os
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "scripts"))
from mutations import MUTATIONS  # noqa: E402

SUITE_TIMEOUT = 1200  # seconds; a hang counts as a kill, as it would fail a real run


def wait_for_quiet():
    while os.path.exists("/work/QUIET"):
        time.sleep(20)


def run(command, cwd, log, timeout=None, env=None):
    """Runs a command niced in its own process group; returns its exit code or "timeout"."""
    wait_for_quiet()
    with open(log, "a") as out:
        out.write("\n$ " + " ".join(command) + "\n")
        out.flush()
        process = subprocess.Popen(["nice", "-n", "10"] + command, cwd=cwd, stdout=out,
                                   stderr=subprocess.STDOUT, env=env, start_new_session=True)
        try:
            return process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()
            return "timeout"
        except BaseException:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()
            raise


def builds_for(path):
    """The builds that compile a file, in the order their suites run."""
    name = os.path.basename(path)
    portable = path.split("/")[0] in ("core", "project", "archive")
    if name.endswith("_win32.cpp") or not portable:
        return ["win"]
    if name.endswith("_posix.cpp"):
        return ["native", "fuzz"]
    return ["native", "fuzz", "win"]


def restart_wine():
    env = dict(os.environ)
    subprocess.run(["bash", "-c", ". scripts/wine-env.sh && wineserver -k"], cwd=ROOT, env=env,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run([os.path.join(ROOT, "scripts/wine-start.sh")], cwd=ROOT)


# The unit tests that stream gigabytes take most of a suite's time; they run after the others,
# so that a fault the others catch is not made to wait for them. Every test still runs.
LONG_TESTS = ("ZipWriter.UsesZip64WhereAValueDoesNotFitAndOnlyThere:"
              "ArchiveBuild.AFileThatGrowsPastFourGibibytesWhileReadFailsWithItsLine")


def run_suites(builds, log):
    """Returns (verdict, stage): "killed", "survived", "unbuilt" and the build that decided."""
    for build in builds:
        directory = os.path.join(ROOT, "build", build)
        built = run(["cmake", "--build", directory, "-j", "2"], ROOT, log)
        if built != 0:
            return "unbuilt", build
        ctest = ["ctest", "--stop-on-failure", "--output-on-failure"]
        result = run(ctest, directory, log, SUITE_TIMEOUT,
                     dict(os.environ, GTEST_FAIL_FAST="1", GTEST_FILTER="-" + LONG_TESTS))
        if result == 0 and build != "fuzz":
            result = run(ctest + ["-R", "^(native|windows)_tests$"], directory, log,
                         SUITE_TIMEOUT, dict(os.environ, GTEST_FILTER=LONG_TESTS))
        # A failed run may leave a process of the Windows suite behind that spoils the next
        # mutation's windows: the prefix starts afresh.
        if result != 0 and build == "win":
            restart_wine()
        if result != 0:
            return "killed", build + (" (timeout)" if result == "timeout" else "")
    return "survived", ""


def locate(mutation):
    ident, path, original, _replacement, _what = mutation
    full = os.path.join(ROOT, path)
    if not os.path.exists(full):
        return None, "file missing"
    with open(full, encoding="utf-8") as f:
        text = f.read()
    count = text.count(original)
    if count != 1:
        return None, "original text found %d times" % count
    return text, ""


def print_table(before_path, after_path):
    """Both runs' verdicts per mutation; 1 when one killed before survives after."""
    runs = []
    for path in (before_path, after_path):
        with open(path) as f:
            runs.append({r["id"]: r for r in json.load(f)})
    newly = 0
    for ident, _path, _original, _replacement, what in MUTATIONS:
        before, after = (run.get(ident, {}).get("verdict", "-") for run in runs)
        flag = "  <- killed before" if before == "killed" and after != "killed" else ""
        newly += bool(flag)
        print("%-28s %-9s %-9s %s%s" % (ident, before, after, what, flag))
    for name, run in zip(("before", "after"), runs):
        verdicts = [r["verdict"] for r in run.values()]
        print("%s: %d killed, %d survived, %d unbuilt" % (name, verdicts.count("killed"),
              verdicts.count("survived"), verdicts.count("unbuilt")))
    print("killed before, not after: %d" % newly)
    return 1 if newly else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--only", help="comma-separated ids")
    parser.add_argument("--check", action="store_true")
    parser.add_argument("--json")
    parser.add_argument("--compare")
    parser.add_argument("--table", nargs=2, metavar="JSON")
    args = parser.parse_args()
    if args.table:
        sys.exit(print_table(*args.table))

    chosen = MUTATIONS
    if args.only:
        wanted = args.only.split(",")
        unknown = set(wanted) - {m[0] for m in MUTATIONS}
        if unknown:
            sys.exit("unknown ids: " + ", ".join(sorted(unknown)))
        chosen = [m for m in MUTATIONS if m[0] in wanted]

    results = []
    errors = 0
    for mutation in chosen:
        text, problem = locate(mutation)
        if text is None:
            errors += 1
            print("%-28s ERROR %s (%s)" % (mutation[0], problem, mutation[1]))
    if args.check or errors:
        print("%d mutations, %d errors" % (len(chosen), errors))
        sys.exit(1 if errors else 0)

    log = os.path.join(ROOT, "build", "mutate.log")
    open(log, "w").close()
    if any("win" in builds_for(m[1]) for m in chosen):
        subprocess.run([os.path.join(ROOT, "scripts/wine-start.sh")], cwd=ROOT)
    touched = set()
    started = time.time()
    for ident, path, original, replacement, what in chosen:
        full = os.path.join(ROOT, path)
        text, _ = locate((ident, path, original, replacement, what))
        builds = builds_for(path)
        touched.update(builds)
        began = time.time()
        with open(log, "a") as out:
            out.write("\n===== %s: %s\n" % (ident, what))
        try:
            with open(full, "w", encoding="utf-8") as f:
                f.write(text.replace(original, replacement))
            verdict, stage = run_suites(builds, log)
        finally:
            with open(full, "w", encoding="utf-8") as f:
                f.write(text)
        seconds = int(time.time() - began)
        results.append({"id": ident, "file": path, "verdict": verdict, "stage": stage,
                        "seconds": seconds, "what": what})
        print("%-28s %-9s %-16s %4ds  %s" % (ident, verdict, stage, seconds, what), flush=True)

    # The builds go back to the unchanged sources.
    for build in ("native", "fuzz", "win"):
        if build in touched:
            run(["cmake", "--build", os.path.join(ROOT, "build", build), "-j", "2"], ROOT, log)

    killed = sum(r["verdict"] == "killed" for r in results)
    survived = [r["id"] for r in results if r["verdict"] == "survived"]
    unbuilt = [r["id"] for r in results if r["verdict"] == "unbuilt"]
    print("\n%d mutations: %d killed, %d survived, %d unbuilt; %d min" %
          (len(results), killed, len(survived), len(unbuilt), (time.time() - started) / 60))
    if survived:
        print("survived: " + ", ".join(survived))
    if unbuilt:
        print("unbuilt (a broken mutation, not a kill): " + ", ".join(unbuilt))
    if args.json:
        with open(args.json, "w") as f:
            json.dump(results, f, indent=1, ensure_ascii=False)
    status = 0
    if args.compare:
        with open(args.compare) as f:
            before = {r["id"]: r["verdict"] for r in json.load(f)}
        newly = [r["id"] for r in results
                 if before.get(r["id"]) == "killed" and r["verdict"] != "killed"]
        print("killed before, not now: " + (", ".join(newly) if newly else "none"))
        status = 1 if newly else 0
    sys.exit(status)


if __name__ == "__main__":
    main()
