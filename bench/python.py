#!/usr/bin/python3
"""The Python package's speed against vkcsubst and the C interface.

python.py [BUILD_DIR] [DATA_DIR] [ROUNDS]   (defaults: build-bench,
BUILD_DIR/data, 5; run from anywhere; bench/run.sh runs it)

Uses bench/run.sh's inputs (generated here when missing: the 194 MB
dictionary big.txt, the 50 MB script script.txt, the one-text script one.txt)
and the package in BUILD_DIR/python. Three comparisons, in rounds that
interleave the commands (medians of wall and of CPU time, warm page cache):
  - loading the dictionary: a Python process that loads it, against vkcsubst
    translating the one-text script with it;
  - rewriting the script: a Python process that loads the dictionary, reads the
    script, rewrites it and writes the result, against vkcsubst (the outputs
    must be identical);
  - one lookup: Dictionary.find over 200,000 texts (80% hits) against the
    same lookups through the C interface from C (bench/find_from_c.c,
    compiled here with cc); CPU time, best of 5 passes each.
Targets: at most 1.2x for the first two, at most 2 us more per lookup.
"""
import os
import random
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
PYTHON = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable

LOAD = "import sys, vkcstringdict as v; v.Dictionary.load(sys.argv[1])"
REWRITE = """import sys, vkcstringdict as v
d = v.Dictionary.load(sys.argv[2])
with open(sys.argv[1], "rb") as f:
    script = f.read()
with open(sys.argv[3], "wb") as f:
    f.write(d.rewrite(script))
"""


def seconds(command, environment=None):
    """Wall and CPU (user + system) seconds of one command."""
    start = time.perf_counter()
    process = subprocess.Popen(command, env=environment)
    _, status, usage = os.wait4(process.pid, 0)
    if status != 0:
        sys.exit("failed: %s" % " ".join(command))
    return time.perf_counter() - start, usage.ru_utime + usage.ru_stime


def main(build="build-bench", data=None, rounds=5):
    build = os.path.abspath(build)
    data = os.path.abspath(data or os.path.join(build, "data"))
    rounds = int(rounds)
    package = os.path.join(build, "python")
    environment = dict(os.environ, PYTHONPATH=package)
    vkcsubst = os.path.join(build, "vkcsubst")
    f = lambda name: os.path.join(data, name)
    os.makedirs(data, exist_ok=True)
    generate = [("big.txt", ["dict", "950000"]), ("script.txt", ["script", "50", "950000"])]
    for name, arguments in generate:
        if not os.path.exists(f(name)):
            subprocess.run([PYTHON, os.path.join(HERE, "gen_data.py"), arguments[0], f(name)] +
                           arguments[1:], check=True)
    with open(f("one.txt"), "wb") as one:
        one.write(b'say "Start"\n')

    jobs = [
        ("load the 194 MB dictionary",
         [vkcsubst, "2", f("one.txt"), f("big.txt"), f("out-one.txt")],
         [PYTHON, "-c", LOAD, f("big.txt")]),
        ("194 MB dictionary + 50 MB script",
         [vkcsubst, "2", f("script.txt"), f("big.txt"), f("out-c.txt")],
         [PYTHON, "-c", REWRITE, f("script.txt"), f("big.txt"), f("out-python.txt")]),
    ]
    for _, ours, theirs in jobs:
        seconds(ours)
        seconds(theirs, environment)
    if open(f("out-c.txt"), "rb").read() != open(f("out-python.txt"), "rb").read():
        sys.exit("rewrite() and vkcsubst wrote different bytes")
    print("rewrite() writes exactly what vkcsubst writes")
    times = {}
    for round in range(rounds):
        for name, ours, theirs in jobs:
            pair = [("vkcsubst", ours, None), ("Python", theirs, environment)]
            for label, command, env in (pair if round % 2 == 0 else pair[::-1]):
                times.setdefault((name, label), []).append(seconds(command, env))
    print("%-34s %9s %9s %6s   %9s %9s %6s" % ("job (medians)", "vkcsubst", "Python", "ratio",
                                               "CPU: C", "Python", "ratio"))
    for name, _, _ in jobs:
        c = [statistics.median(t[i] for t in times[(name, "vkcsubst")]) for i in (0, 1)]
        p = [statistics.median(t[i] for t in times[(name, "Python")]) for i in (0, 1)]
        print("%-34s %8.3fs %8.3fs %5.2fx   %8.3fs %8.3fs %5.2fx" %
              (name, c[0], p[0], p[0] / c[0], c[1], p[1], p[1] / c[1]))

    # One lookup: the same texts, from C and from Python.
    sys.path.insert(0, package)
    import vkcstringdict
    start = time.perf_counter()
    d = vkcstringdict.Dictionary.load(f("big.txt"))
    print("in-process load from Python: %.3f s" % (time.perf_counter() - start))
    rng = random.Random(5)
    keys = [d[rng.randrange(len(d))].eng + (b"" if rng.random() < 0.8 else b" and more")
            for _ in range(200000)]
    with open(f("keys.txt"), "wb") as out:
        out.write(b"\n".join(keys) + b"\n")
    finder = os.path.join(build, "find_from_c")
    library = os.path.join(package, "vkcstringdict")
    subprocess.run(["cc", "-O2", "-std=c99", "-I", ROOT, os.path.join(HERE, "find_from_c.c"),
                    os.path.join(library, "libvkcstringdict.so.1"), "-Wl,-rpath," + library,
                    "-o", finder], check=True)
    c_ns, c_found = subprocess.run([finder, f("big.txt"), f("keys.txt"), "5"], check=True,
                                   stdout=subprocess.PIPE, text=True).stdout.split()
    find = d.find
    found = sum(find(key) is not None for key in keys)
    best = float("inf")
    for _ in range(5):
        start = time.process_time()
        for key in keys:
            find(key)
        best = min(best, time.process_time() - start)
    if int(c_found) != 6 * found:
        sys.exit("C found %s, Python %d a pass" % (c_found, found))
    python_ns = best * 1e9 / len(keys)
    print("one find (CPU time): C %.0f ns, Python %.0f ns: %.2f us more" %
          (float(c_ns), python_ns, (python_ns - float(c_ns)) / 1000))


if __name__ == "__main__":
    main(*sys.argv[1:])
