#!/usr/bin/env python3
"""Times the benchmark jobs side by side and prints the table of bench/run.sh.

measure.py VKCSUBST DATA_DIR [ROUNDS]
Each round runs every command of every job once, in turn (every other round
in reverse within each job), so that a change in the machine's load touches
all of them alike; the table shows medians. Before timing, each vkcsubst
output is checked against the Python yardstick's.

With VKC_BASELINE set to another vkcsubst (an earlier build, say), that one
runs in every job too, interleaved alike, and the table gains its column.
"""
import os
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def run(command):
    """Wall seconds and peak resident MiB of one command."""
    start = time.perf_counter()
    process = subprocess.Popen(command)
    _, status, usage = os.wait4(process.pid, 0)
    seconds = time.perf_counter() - start
    if status != 0:
        sys.exit("failed: %s" % " ".join(command))
    return seconds, usage.ru_maxrss / 1024


def main(vkcsubst, data, rounds=5):
    f = lambda name: os.path.join(data, name)
    python = [sys.executable, os.path.join(HERE, "yardstick.py")]
    jobs = [
        ("194 MB dictionary + 50 MB script", {
            "vkcsubst": [vkcsubst, "2", f("script.txt"), f("big.txt"), f("out-c.txt")],
            "python": python + [f("script.txt"), f("big.txt"), f("out-py.txt")]}),
        ("20 MB dictionary + 50 MB script", {
            "vkcsubst": [vkcsubst, "2", f("script.txt"), f("small.txt"), f("out-c2.txt")],
            "python": python + [f("script.txt"), f("small.txt"), f("out-py2.txt")]}),
        ("load the 194 MB dictionary (one-text script)", {
            "vkcsubst": [vkcsubst, "2", f("one.txt"), f("big.txt"), f("out-one.txt")]}),
        ("95 MB script without delimiters", {
            "vkcsubst": [vkcsubst, "2", f("plain.txt"), f("big-absent.txt"), f("out-plain.txt")],
            "cp": ["cp", f("plain.txt"), f("out-cp.txt")]}),
        ("50 MB script, no dictionary (no lookups)", {
            "vkcsubst": [vkcsubst, "2", f("script.txt"), f("big-absent.txt"), f("out-none.txt")],
            "cp": ["cp", f("script.txt"), f("out-cp2.txt")]}),
    ]
    baseline = os.environ.get("VKC_BASELINE")
    if baseline:
        for _, commands in jobs:
            ours = commands["vkcsubst"]
            commands["before"] = [baseline] + ours[1:-1] + [ours[-1] + ".before"]
    # Byte-identical outputs first (one untimed run of each job).
    for _, commands in jobs:
        for command in commands.values():
            run(command)
    for ours, theirs in [("out-c.txt", "out-py.txt"), ("out-c2.txt", "out-py2.txt"),
                         ("out-plain.txt", "plain.txt"), ("out-none.txt", "script.txt")]:
        if subprocess.call(["cmp", "-s", f(ours), f(theirs)]) != 0:
            sys.exit("outputs differ: %s %s" % (ours, theirs))
    if baseline:
        for _, commands in jobs:
            out = commands["vkcsubst"][-1]
            if subprocess.call(["cmp", "-s", out, out + ".before"]) != 0:
                sys.exit("the baseline's output differs: %s" % out)
    print("outputs identical to the Python yardstick's (and to the input without lookups)")

    load_before = os.getloadavg()
    times = {(j, c): [] for j, commands in jobs for c in commands}
    memory = {}
    for round in range(rounds):
        for j, commands in jobs:
            # Every other round reverses each job's order, so that no command
            # always follows the same one (a large process that just ended
            # leaves the next one's fresh memory slower to get).
            order = list(commands.items())
            for c, command in order[::-1] if round % 2 else order:
                seconds, mib = run(command)
                times[(j, c)].append(seconds)
                memory[(j, c)] = max(memory.get((j, c), 0), mib)
    load_after = os.getloadavg()

    before = "| baseline " if baseline else ""
    print("\n| job %s| vkcsubst | Python | cp | vkcsubst peak memory |" % before)
    print("|---|%s---|---|---|---|" % ("---|" if baseline else ""))
    for j, commands in jobs:
        median = {c: statistics.median(times[(j, c)]) for c in commands}
        cells = ["%.3f s" % median["vkcsubst"]]
        if baseline:
            cells.insert(0, "%.3f s (%.1f× vkcsubst)" % (median["before"],
                                                          median["before"] / median["vkcsubst"]))
        for other in ("python", "cp"):
            if other in median:
                cells.append("%.2f s (%.1f×)" % (median[other], median[other] / median["vkcsubst"])
                             if other == "python" else
                             "%.3f s (vkcsubst %.2f× of it)" % (median[other],
                                                                median["vkcsubst"] / median[other]))
            else:
                cells.append("—")
        cells.append("%.0f MiB" % memory[(j, "vkcsubst")])
        print("| %s | %s |" % (j, " | ".join(cells)))
    print("\nmedians of %d interleaved rounds; load average %.1f before, %.1f after (%d cores)"
          % (rounds, load_before[0], load_after[0], os.cpu_count()))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], int(sys.argv[3]) if len(sys.argv) > 3 else 5)
