"""The README's Python example runs as written, translates as vkcsubst does
with the dictionary it saved, and leaves the files of the README's earlier
steps alone; it and the package pass mypy --strict."""
import os
import re
import shutil
import subprocess
import sys

import pytest

from conftest import SOURCE_DIR, program, run


def readme_example():
    readme = open(os.path.join(SOURCE_DIR, "README.md"), encoding="utf-8").read()
    section = readme.split("\n## From Python\n", 1)[1].split("\n## ", 1)[0]
    return re.search(r"```python\n(.*?)```", section, re.S).group(1)


def test_the_readme_example_runs(tmp_path):
    example = readme_example()
    shutil.copytree(os.path.join(SOURCE_DIR, "examples"), tmp_path / "examples")
    # What the README's earlier steps made, which the example must not touch.
    earlier = {"dict.txt": b"merged translations", "script.out.txt": b"translated script"}
    (tmp_path / "build").mkdir()
    for name, text in earlier.items():
        (tmp_path / "build" / name).write_bytes(text)
    shown = subprocess.run([sys.executable, "-c", example], cwd=tmp_path, check=True,
                           stdout=subprocess.PIPE, encoding="utf-8").stdout
    assert "Say nothing -> 保持沉默" in shown and "None" in shown
    for name, text in earlier.items():
        assert (tmp_path / "build" / name).read_bytes() == text, name

    saved = tmp_path / re.search(r'd\.save\("([^"]+)"\)', example).group(1)
    written = tmp_path / re.search(r'open\("([^"]+)", "wb"\)', example).group(1)
    run(program("VKCSUBST"), "2", str(tmp_path / "examples" / "script.txt"), str(saved),
        str(tmp_path / "expected.txt"))
    assert written.read_bytes() == (tmp_path / "expected.txt").read_bytes()
    assert "第二章".encode("gbk") in saved.read_bytes()


def test_the_package_and_the_readme_example_pass_mypy_strict(tmp_path):
    pytest.importorskip("mypy", reason="mypy is missing (apt-get install python3-mypy)")
    (tmp_path / "example.py").write_text(readme_example(), encoding="utf-8")
    package = os.path.join(SOURCE_DIR, "python", "vkcstringdict")
    # The example against the package as built (PYTHONPATH), whose py.typed
    # lets mypy read its hints.
    for target in [package, str(tmp_path / "example.py")]:
        checked = subprocess.run([sys.executable, "-m", "mypy", "--strict", "--no-incremental",
                                  "--cache-dir", str(tmp_path / "cache"), target],
                                 stdout=subprocess.PIPE, encoding="utf-8", cwd=tmp_path)
        assert checked.returncode == 0, checked.stdout
