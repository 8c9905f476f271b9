"""The README and the documentation's pages: what they show runs.

The pages' Python blocks run as doctests and their commands while the site builds (tools/test.sh);
here: no block escapes that, the README's tour runs as written, and the README stays short.
"""

import os
import re
import shutil
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
PAGES = sorted((ROOT / "docs").glob("*.md"))
# Fences that run (doctest, command), that Sphinx reads (eval-rst, toctree), or that are shown only:
# install, test and benchmark commands (console) and the tree of the code (text).
FENCES = {"{doctest}", "{command}", "{eval-rst}", "{toctree}", "console", "text"}


def fences(text):
    return re.findall(r"^```(\S*)", text, flags=re.M)[::2]


@pytest.mark.parametrize("page", PAGES, ids=lambda p: p.name)
def test_every_block_of_a_page_runs_or_is_a_shell_command_shown(page):
    kinds = fences(page.read_text())
    assert set(kinds) <= FENCES, f"{page.name}: blocks {set(kinds) - FENCES} run nowhere"
    shown = re.findall(r"^```console\n(.*?)^```", page.read_text(), flags=re.M | re.S)
    # a tesvarin command goes in a {command} block, which runs it
    assert not [line for block in shown for line in block.splitlines() if line.startswith("tesvarin ")]


def test_the_readme_is_short_and_its_tour_runs(tmp_path, monkeypatch):
    pytest.importorskip("plotly", reason="plotly is in the test extras (the view extra)")
    pytest.importorskip("iodata", reason="IOData is in the test extras")
    readme = (ROOT / "README.md").read_text()
    assert len(readme.splitlines()) <= 150
    (tmp_path / "examples").mkdir()
    shutil.copyfile(ROOT / "examples" / "water.chk", tmp_path / "examples" / "water.chk")
    monkeypatch.chdir(tmp_path)
    blocks = re.findall(r"^```python\n(.*?)^```", readme, flags=re.M | re.S)
    assert blocks
    for block in blocks:
        exec(compile(block, "README.md", "exec"), {})
    assert sorted(os.listdir(tmp_path)) == ["examples", "water_homo.cube", "water_homo.html"]
