"""run_blocks.py on small guides: each one committed to a repository of its
own, run in a clone, with the status and a line of the output expected."""

import os
import subprocess
import sys

import pytest

RUNNER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "run_blocks.py")
F = "```"

CASES = [
    ("a failing block fails the run, named with its line",
     f"Intro.\n\n{F}sh\ntrue\nfalse\necho never\n{F}\n",
     1, "block 1 (guide.md:3, sh) exited with status 1"),
    ("a failure inside a pipe fails the block",
     f"{F}bash\nfalse | cat\n{F}\n",
     1, "exited with status 1"),
    ("marked blocks and other languages are skipped, the rest run in order",
     f"<!-- not run: it would fail -->\n{F}sh\nexit 3\n{F}\n{F}text\nexit 3\n{F}\n"
     f"- item:\n\n  {F}sh\n  echo one > out.txt\n  {F}\n"
     f"{F}python\nassert open('out.txt').read() == 'one\\n'\nprint('python ran')\n{F}\n",
     0, "python ran"),
    ("a python block runs with the guide's virtual environment once it has one",
     f"{F}sh\nmkdir -p .venv/bin && printf '#!/bin/sh\\necho the venv ran it\\n' > .venv/bin/python\n"
     f"chmod +x .venv/bin/python\n{F}\n{F}python\nraise SystemExit(5)\n{F}\n",
     0, "the venv ran it"),
    ("a block that overwrites an earlier block's file fails, naming both",
     f"{F}sh\necho a > out.txt\n{F}\n\n{F}sh\necho b > out.txt\n{F}\n",
     1, "block 2 (guide.md:5, sh) overwrites out.txt, which block 1 (guide.md:1, sh) made"),
    ("a block that deletes an earlier block's file fails",
     f"{F}sh\nmkdir -p out && echo a > out/a.txt\n{F}\n{F}sh\nrm -r out\n{F}\n",
     1, "deletes out/a.txt, which block 1"),
    ("in a build tree only the files a block names are watched",
     f"{F}sh\nmkdir b && for f in CMakeCache.txt .ninja_log; do echo 1 > b/$f; done && echo x > b/result.txt\n{F}\n"
     f"{F}sh\necho 2 > b/CMakeCache.txt && echo 2 >> b/.ninja_log && rm b/.ninja_log\n{F}\n"
     f"{F}sh\necho y > b/result.txt\n{F}\n",
     1, "block 3 (guide.md:7, sh) overwrites b/result.txt, which block 1 (guide.md:1, sh) made"),
    ("a marker must stand right before a fence",
     f"<!-- not run: drifted -->\n\n{F}sh\ntrue\n{F}\n",
     1, "guide.md:1: a 'not run' marker must stand right before a fence"),
]


@pytest.mark.parametrize("name,guide,status,expected", CASES, ids=[case[0] for case in CASES])
def test_guide(tmp_path, name, guide, status, expected):
    repo = tmp_path / "repo"
    repo.mkdir()
    (repo / "guide.md").write_text(guide)
    git = ["git", "-C", str(repo), "-c", "user.name=t", "-c", "user.email=t@example.org"]
    subprocess.run(git[:3] + ["init", "-q"], check=True)
    subprocess.run(git + ["add", "guide.md"], check=True)
    subprocess.run(git + ["commit", "-qm", "guide"], check=True)
    result = subprocess.run([sys.executable, RUNNER, "--clone", str(tmp_path / "clone"), str(repo / "guide.md")],
                            capture_output=True, text=True)
    output = result.stdout + result.stderr
    assert result.returncode == status, output
    assert expected in output, output
