"""The README's Python example runs as written and translates as vkcsubst
does with the dictionary it saved."""
import os
import re
import shutil
import subprocess
import sys

from conftest import SOURCE_DIR, program, run


def test_the_readme_example_runs(tmp_path):
    readme = open(os.path.join(SOURCE_DIR, "README.md"), encoding="utf-8").read()
    section = readme.split("\n## From Python\n", 1)[1].split("\n## ", 1)[0]
    example = re.search(r"```python\n(.*?)```", section, re.S).group(1)
    shutil.copytree(os.path.join(SOURCE_DIR, "examples"), tmp_path / "examples")
    (tmp_path / "build").mkdir()
    shown = subprocess.run([sys.executable, "-c", example], cwd=tmp_path, check=True,
                           stdout=subprocess.PIPE, encoding="utf-8").stdout
    assert "Say nothing -> 保持沉默" in shown and "None" in shown

    run(program("VKCSUBST"), "2", str(tmp_path / "examples" / "script.txt"),
        str(tmp_path / "build" / "dict.txt"), str(tmp_path / "expected.txt"))
    expected = (tmp_path / "expected.txt").read_bytes()
    assert (tmp_path / "build" / "script.out.txt").read_bytes() == expected
    assert "第二章".encode("gbk") in (tmp_path / "build" / "dict.txt").read_bytes()
