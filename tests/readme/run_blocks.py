#!/usr/bin/env python3
"""Runs a Markdown guide's code blocks, in order, in a fresh clone.

    tests/readme/run_blocks.py [--clone DIR] GUIDE.md

A new user follows the guide from top to bottom on a fresh clone, so this
clones the committed state (HEAD) of the repository that holds GUIDE.md into
an empty folder and reads the guide from there. Every ```sh and ```bash block
runs in a shell of its own, `bash -euo pipefail -c BLOCK`, started in the
clone's root with stdin closed: a block stands on its own, as the guide's
"from the repository's root" asks, and a `cd` in one never moves the next.
Every ```python block runs with the virtual environment's python when the
guide made one (`.venv/bin/python`), else with python3, also from the root.
Fences of any other language (text, c, cmake, bat, none) are not run.

A block that is not meant to run says so on the line right before its fence:

    <!-- not run: starts a server that runs until Ctrl+C -->

A comment, so the rendered guide shows the reader nothing of the test
machinery; anyone editing the Markdown sees it, and its reason, beside the
block. A marker that stands before anything but a fence fails the run, so
a marker never drifts away from its block.

A block fails the run when it exits non-zero, and when it changes or
deletes a file that an earlier block made: the guide's steps must not
clobber each other's results (a later step's output replacing the Quick
start's would make the two disagree with what the guide says they hold).
A file counts as made by a block when it did not exist before the block
ran and either
  - lies outside the trees that tools manage (a CMake build folder, one
    holding CMakeCache.txt; a virtual environment, one holding
    pyvenv.cfg; .git), or
  - lies inside such a tree and the block's text names its path (relative
    to the root), as `build/script.out.txt` or `build/new.po`.
So the files a user asked for by name are watched wherever they are, and
the build system's own files (CMakeCache.txt, .ninja_log, object files,
CTest's logs, a Wine prefix), which every build rewrites, are not. A file
counts as changed when its size, content (SHA-256) or modification time
differs: a step that writes the same bytes again still overwrote it.

The clone is removed afterwards unless --clone names where to make it (it
must not exist yet); then it stays, for later steps to use explicitly.
Exit status: 0 every block passed, 1 a block failed, 2 bad usage.
"""

import argparse
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

FENCE = re.compile(r"^( *)(`{3,}|~{3,})\s*([^\s`]*)")
MARKER = re.compile(r"^\s*<!--\s*not run:\s*(\S.*?)\s*-->\s*$")
RUNNABLE = {"sh", "bash", "python"}
TOOL_TREE_FILES = ("CMakeCache.txt", "pyvenv.cfg")


class Block:
    def __init__(self, line, language, text, skip_reason):
        self.line = line  # 1-based line of the opening fence
        self.language = language
        self.text = text
        self.skip_reason = skip_reason  # None: the block runs


def parse(markdown, name):
    """The fenced blocks of `markdown`, in order. Raises ValueError for a
    marker not followed by a fence, or an unclosed fence."""
    lines = markdown.splitlines()
    blocks = []
    i = 0
    while i < len(lines):
        marker = MARKER.match(lines[i])
        if marker:
            if i + 1 >= len(lines) or not FENCE.match(lines[i + 1]):
                raise ValueError(f"{name}:{i + 1}: a 'not run' marker must stand right before a fence")
            i += 1
        fence = FENCE.match(lines[i])
        if not fence:
            i += 1
            continue
        indent, ticks, language = len(fence.group(1)), fence.group(2), fence.group(3).lower()
        start = i
        body = []
        i += 1
        while i < len(lines):
            close = lines[i].strip()
            if close.startswith(ticks[0] * len(ticks)) and set(close) == {ticks[0]}:
                break
            # Content keeps its own indentation beyond the fence's (a list
            # item's block is indented as a whole).
            line = lines[i]
            strip = len(line) - len(line.lstrip(" "))
            body.append(line[min(indent, strip):])
            i += 1
        else:
            raise ValueError(f"{name}:{start + 1}: the fence is never closed")
        i += 1
        skip = None
        if marker:
            skip = f"marked not run: {marker.group(1)}"
        elif language not in RUNNABLE:
            skip = f"a {language or 'plain'} block"
        blocks.append(Block(start + 1, language, "\n".join(body) + "\n", skip))
    return blocks


def signature(path):
    st = os.stat(path, follow_symlinks=False)
    digest = hashlib.sha256()
    if os.path.isfile(path) and not os.path.islink(path):
        with open(path, "rb") as f:
            for chunk in iter(lambda: f.read(1 << 20), b""):
                digest.update(chunk)
    return (st.st_size, st.st_mtime_ns, digest.hexdigest())


def names(text, rel):
    """Does the block's text name the file `rel` (a whole path, not a part
    of a longer one)?"""
    if rel not in text:
        return False
    pattern = r"(?<![\w./-])" + re.escape(rel) + r"(?![\w./-])"
    return re.search(pattern, text) is not None


def scan(root):
    """Every file under root but .git's (relative paths), and the tool trees
    (relative folders ending in a separator)."""
    found, trees = [], []
    for folder, dirs, entries in os.walk(root):
        rel_folder = os.path.relpath(folder, root)
        if rel_folder == ".":
            dirs[:] = [d for d in dirs if d != ".git"]
        elif any(marker in entries for marker in TOOL_TREE_FILES):
            trees.append(rel_folder + os.sep)
        found += [os.path.normpath(os.path.join(rel_folder, entry)) for entry in entries]
    return found, trees


class Watch:
    """The files each block made, and whether a later block touched them."""

    def __init__(self, root):
        self.root = root
        self.before = set(scan(root)[0])
        self.made = {}  # relative path -> (signature, the block that made it)

    def check(self, where, block):
        """Problems with the files earlier blocks made, after the block
        described by `where` ran; then takes note of the files it made."""
        problems = []
        for rel, (sig, maker) in sorted(self.made.items()):
            path = os.path.join(self.root, rel)
            if not os.path.lexists(path):
                problems.append(f"deletes {rel}, which {maker} made")
                del self.made[rel]
            elif signature(path) != sig:
                problems.append(f"overwrites {rel}, which {maker} made")
                self.made[rel] = (signature(path), maker)  # reported once
        found, trees = scan(self.root)
        for rel in found:
            if rel in self.before or rel in self.made:
                continue
            if any(rel.startswith(tree) for tree in trees) and not names(block.text, rel):
                continue
            self.made[rel] = (signature(os.path.join(self.root, rel)), where)
        self.before.update(found)  # what a later block finds is not its own
        return problems


def run(block, root):
    if block.language == "python":
        venv_python = os.path.join(root, ".venv", "bin", "python")
        python = venv_python if os.path.exists(venv_python) else (shutil.which("python3") or sys.executable)
        command = [python, "-c", block.text]
    else:
        command = ["bash", "-euo", "pipefail", "-c", block.text]
    process = subprocess.Popen(command, cwd=root, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT)
    output = []
    for line in process.stdout:
        sys.stdout.buffer.write(line)
        sys.stdout.buffer.flush()
        output.append(line)
    return process.wait(), b"".join(output)


def main():
    parser = argparse.ArgumentParser(description="Run a Markdown guide's sh, bash and python blocks, in order, "
                                                 "in a fresh clone of the committed state.")
    parser.add_argument("guide", help="the Markdown file, inside a git repository")
    parser.add_argument("--clone", help="make the clone here (must not exist) and keep it")
    parser.add_argument("--keep-going", action="store_true", help="run the blocks after a failed one too")
    args = parser.parse_args()

    guide = os.path.abspath(args.guide)
    top = subprocess.run(["git", "-C", os.path.dirname(guide), "rev-parse", "--show-toplevel"],
                         capture_output=True, text=True)
    if top.returncode != 0:
        print(f"{args.guide}: not in a git repository", file=sys.stderr)
        return 2
    repo = top.stdout.strip()
    rel_guide = os.path.relpath(os.path.realpath(guide), os.path.realpath(repo))
    if args.clone and os.path.lexists(args.clone):
        print(f"{args.clone}: already exists; --clone makes a new folder", file=sys.stderr)
        return 2
    scratch = None if args.clone else tempfile.mkdtemp(prefix="run_blocks-")
    root = os.path.abspath(args.clone or os.path.join(scratch, "clone"))
    try:
        subprocess.run(["git", "clone", "-q", "--no-hardlinks", repo, root], check=True)
        path = os.path.join(root, rel_guide)
        if not os.path.exists(path):
            print(f"{rel_guide}: not in the committed state (commit it first)", file=sys.stderr)
            return 2
        with open(path, encoding="utf-8") as f:
            try:
                blocks = parse(f.read(), rel_guide)
            except ValueError as error:
                print(error, file=sys.stderr)
                return 1
        watch = Watch(root)
        started = time.monotonic()
        ran = 0
        failed = []
        for number, block in enumerate(blocks, 1):
            where = f"block {number} ({rel_guide}:{block.line}, {block.language or 'plain'})"
            if block.skip_reason:
                print(f"== {where}: skipped, {block.skip_reason}", flush=True)
                continue
            print(f"== {where}\n{block.text.rstrip()}\n==", flush=True)
            began = time.monotonic()
            status, output = run(block, root)
            ran += 1
            errors = []
            if status != 0:
                tail = b"\n".join(output.splitlines()[-40:]).decode("utf-8", "replace")
                errors.append(f"FAILED: {where} exited with status {status}; its output ended:\n{tail}")
            errors += [f"FAILED: {where} {problem}" for problem in watch.check(where, block)]
            if errors:
                errors.append(f"(after {time.monotonic() - began:.1f} s)")
                print("\n".join(errors), file=sys.stderr, flush=True)
                failed += errors
                if not args.keep_going:
                    return 1
            else:
                print(f"== {where} passed in {time.monotonic() - began:.1f} s", flush=True)
        print(f"== {rel_guide}: {ran} blocks run, {len(blocks) - ran} skipped, {len(failed)} failures, "
              f"in {time.monotonic() - started:.1f} s", flush=True)
        return 1 if failed else 0
    finally:
        if scratch:
            shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
