#!/usr/bin/env python3
"""Times vkcdict edit on the benchmark dictionaries, for the README.

edit.py BUILD_DIR DATA_DIR [ROUNDS]

DATA_DIR holds big.txt (950,000 records, bench/gen_data.py dict) and
one.txt (a script of one text); a 20,000-record dictionary is made there.
Measures, as medians of ROUNDS: the load (vkcsubst with the one-text script)
and its peak memory; the editor's start until it prints its address, and
its peak memory once it has served; the first page of records; a search
over all records (a new text each round); a commit, on both dictionaries.
With Selenium and Chromium, the page's JavaScript heap after scrolling the
whole list, on both dictionaries.
"""
import http.client
import json
import os
import shutil
import statistics
import subprocess
import sys
import time


def load(build, data):
    start = time.perf_counter()
    with open(os.devnull, "wb") as null:
        p = subprocess.Popen([os.path.join(build, "vkcsubst"), "2", os.path.join(data, "one.txt"),
                              os.path.join(data, "big.txt"), os.path.join(data, "out-one")],
                             stdout=null, stderr=null)
        _, _, usage = os.wait4(p.pid, 0)
    return time.perf_counter() - start, usage.ru_maxrss / 1024


class Editor:
    def __init__(self, build, path):
        start = time.perf_counter()
        self.p = subprocess.Popen([os.path.join(build, "vkcdict", "vkcdict"), "edit", path, "--no-browser"],
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        line = self.p.stdout.readline().decode()
        self.ready = time.perf_counter() - start
        self.url = line.split(" at ")[1].strip()
        self.port = int(self.url.split(":")[2].split("/")[0])
        self.token = self.url.split("token=")[1]
        self.conn = http.client.HTTPConnection("127.0.0.1", self.port)

    def ask(self, target, body=None):
        headers = {"Host": "127.0.0.1:%d" % self.port, "X-Vkcdict-Token": self.token}
        if body is not None:
            headers.update({"Origin": "http://127.0.0.1:%d" % self.port, "Content-Type": "application/json"})
        start = time.perf_counter()
        self.conn.request("POST" if body is not None else "GET", target,
                          body=json.dumps(body) if body is not None else None, headers=headers)
        r = self.conn.getresponse()
        data = json.loads(r.read())
        return time.perf_counter() - start, r.status, data

    def peak(self):
        with open("/proc/%d/status" % self.p.pid) as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1]) / 1024
        return 0

    def stop(self):
        self.p.terminate()
        self.p.wait()


def commit_time(editor, n, text):
    _, _, record = editor.ask("/api/record?n=%d" % n)
    seconds, status, data = editor.ask("/api/commit", {"n": n, "version": record["version"], "chi": text})
    assert status == 200, data
    return seconds


def page_heap(build, path):
    try:
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
    except ImportError:
        return None
    chromium, driver = shutil.which("chromium"), shutil.which("chromedriver")
    if not (chromium and driver):
        return None
    options = webdriver.ChromeOptions()
    options.binary_location = chromium
    for arg in ("--headless=new", "--no-sandbox", "--enable-precise-memory-info", "--window-size=1400,900"):
        options.add_argument(arg)
    browser = webdriver.Chrome(service=Service(driver), options=options)
    editor = Editor(build, path)
    try:
        browser.get(editor.url)
        time.sleep(1)
        for k in range(21):  # the whole list, top to bottom, in steps
            browser.execute_script("const s = document.getElementById('scroller');"
                                   "s.scrollTop = (s.scrollHeight - s.clientHeight) * arguments[0] / 20;", k)
            time.sleep(0.3)
        browser.execute_script("window.gc && window.gc()")
        return browser.execute_script("return performance.memory.usedJSHeapSize") / 2**20
    finally:
        browser.quit()
        editor.stop()


def main(build, data, rounds=5):
    big = os.path.join(data, "big.txt")
    small = os.path.join(data, "edit-20k.txt")
    if not os.path.exists(small):
        subprocess.run([sys.executable, os.path.join(os.path.dirname(__file__), "gen_data.py"), "dict", small,
                        "950000", "20000"], check=True)
    loads, load_peaks, readies, firsts, searches, commits, peaks, small_commits = [], [], [], [], [], [], [], []
    words = ["zz", "the world", "QQ never", "little state", "men work", "over", "xq"]
    for r in range(rounds):
        seconds, peak = load(build, data)
        loads.append(seconds)
        load_peaks.append(peak)
        work = os.path.join(data, "edit-big.txt")
        shutil.copyfile(big, work)
        e = Editor(build, work)
        readies.append(e.ready)
        firsts.append(e.ask("/api/records?offset=0&limit=100")[0])
        searches.append(e.ask("/api/records?limit=100&in=eng&q=" + words[r % len(words)].replace(" ", "+"))[0])
        commits.append(commit_time(e, 475000 + r, "\u8bd1\u6587%d" % time.time_ns()))
        peaks.append(e.peak())
        e.stop()
        os.remove(work)
        e = Editor(build, small)
        small_commits.append(commit_time(e, 10000 + r, "\u8bd1\u6587%d" % time.time_ns()))
        e.stop()
    m = statistics.median
    print("load (vkcsubst, one-text script): %.3f s, %.0f MiB" % (m(loads), m(load_peaks)))
    print("edit ready to serve:              %.3f s (%.1fx the load)" % (m(readies), m(readies) / m(loads)))
    print("first view of records:            %.1f ms" % (m(firsts) * 1000))
    print("search over all records:          %.1f ms" % (m(searches) * 1000))
    print("commit, 950,000 records:          %.3f s" % m(commits))
    print("commit, 20,000 records:           %.1f ms" % (m(small_commits) * 1000))
    print("server peak memory:               %.0f MiB (%.2fx the load's)" % (m(peaks), m(peaks) / m(load_peaks)))
    heaps = [page_heap(build, p) for p in (small, big)]
    if heaps[0] is not None:
        print("page JS heap after scrolling all: %.1f MiB (20,000 records), %.1f MiB (950,000)" % tuple(heaps))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], int(sys.argv[3]) if len(sys.argv) > 3 else 5)
