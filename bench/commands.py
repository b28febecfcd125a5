#!/usr/bin/env python3
"""Times vkcdict's commands against vkcsubst, side by side, for the README.

commands.py BUILD_DIR DATA_DIR [ROUNDS]
DATA_DIR holds big.txt (the benchmark dictionary), small.txt (a subset of its
records), script.txt, one.txt (a script of one text) and glossary.txt. Each
round runs every command once, in turn (every other round in reverse), so
that a change in the machine's load touches all of them alike. The table
shows each command's median and best time and largest peak memory, and its
ratios to what it is measured against: the load (vkcsubst with the one-text
script) or a whole vkcsubst run on the script, with the target ratio.
"""
import os
import statistics
import subprocess
import sys
import time


def run(command):
    """Wall seconds and peak resident MiB of one command (exit 0 or 1)."""
    start = time.perf_counter()
    with open(os.devnull, "wb") as null:
        process = subprocess.Popen(command, stdout=null, stderr=null)
        _, status, usage = os.wait4(process.pid, 0)
    seconds = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) not in (0, 1):
        sys.exit("failed: %s" % " ".join(command))
    return seconds, usage.ru_maxrss / 1024


def main(build, data, rounds=5):
    f = lambda name: os.path.join(data, name)
    out = lambda name: os.path.join(data, "out-" + name)
    vkcsubst = os.path.join(build, "vkcsubst")
    vkcdict = [os.path.join(build, "vkcdict", "vkcdict")]
    glossary = ["--glossary", f("glossary.txt")]
    # name: (command, measured against, target ratio)
    jobs = {
        "load": ([vkcsubst, "2", f("one.txt"), f("big.txt"), out("one")], None, None),
        "vkcsubst": ([vkcsubst, "2", f("script.txt"), f("big.txt"), out("script")], None, None),
        "check": (vkcdict + ["check", f("big.txt")], "load", 3),
        "sort": (vkcdict + ["sort", f("big.txt"), "-o", out("sorted")], "load", 3),
        "merge": (vkcdict + ["merge", f("big.txt"), f("small.txt"), "-o", out("merged")],
                  "load", 3),
        "qa": (vkcdict + ["qa", f("big.txt"), "--skip", "reused"] + glossary, "load", 3),
        "qa-nonum": (vkcdict + ["qa", f("big.txt"), "--skip", "reused,numbers"] + glossary,
                     "load", 3),
        "extract": (vkcdict + ["extract", f("script.txt"), "--dict", f("big.txt"), "-o",
                               out("extracted")], "vkcsubst", 2),
        "stats": (vkcdict + ["stats", f("big.txt"), f("script.txt")], "vkcsubst", 2),
    }
    times = {name: [] for name in jobs}
    memory = {name: 0.0 for name in jobs}
    for r in range(rounds):
        order = list(jobs) if r % 2 == 0 else list(reversed(jobs))
        for name in order:
            seconds, mib = run(jobs[name][0])
            times[name].append(seconds)
            memory[name] = max(memory[name], mib)
    median = {name: statistics.median(t) for name, t in times.items()}
    best = {name: min(t) for name, t in times.items()}
    print("| command | time (median, best) | peak memory | ratio (medians, bests) | target |")
    print("|---|---|---|---|---|")
    for name, (_, base, target) in jobs.items():
        ratio = "" if base is None else "%.1f×, %.1f× %s" % (
            median[name] / median[base], best[name] / best[base], base)
        memory_ratio = "" if base is None else " (%.2f× %s)" % (memory[name] / memory[base], base)
        print("| %s | %.3f s, %.3f s | %.0f MiB%s | %s | %s |" % (
            name, median[name], best[name], memory[name], memory_ratio, ratio,
            "" if target is None else "≤ %d×" % target))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], *(int(a) for a in sys.argv[3:4]))
