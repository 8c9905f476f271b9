"""The ``command`` directive: shell commands that run while the documentation builds, shown with their output.

Each line of the directive is one command, run by bash in the folder of the documentation's sample
checkpoints (``samples.folder()``) with this Python's scripts first on PATH. A command is expected to
succeed unless its line ends in ``# exit N``; any other exit status fails the build, so the pages
show only what the commands really do.
"""

from __future__ import annotations

import os
import re
import subprocess
import sys
from collections.abc import Callable
from pathlib import Path
from typing import Any, ClassVar

from docutils import nodes
from docutils.parsers.rst import directives
from sphinx.application import Sphinx
from sphinx.util.docutils import SphinxDirective

EXPECTED = re.compile(r"#\s*exit\s+(\d+)\s*$")


class Command(SphinxDirective):
    has_content = True
    option_spec: ClassVar[dict[str, Callable[[str], Any]]] = {
        "max-lines": directives.nonnegative_int,
        "no-output": directives.flag,
    }

    def run(self) -> list[nodes.Node]:
        import samples

        folder = samples.folder()
        env = dict(os.environ, PATH=f"{Path(sys.executable).parent}{os.pathsep}{os.environ.get('PATH', '')}")
        env.pop("TESVARIN_PROGRESS", None)
        limit = self.options.get("max-lines", 25)
        shown: list[str] = []
        for line in self.content:
            if not line.strip():
                continue
            expected = EXPECTED.search(line)
            status = int(expected[1]) if expected else 0
            done = subprocess.run(
                ["bash", "-c", line], cwd=folder, env=env, capture_output=True, text=True, timeout=300, check=False
            )
            if done.returncode != status:
                raise self.error(
                    f"`{line}` exited with status {done.returncode}, not {status}:\n{done.stdout}{done.stderr}"
                )
            shown.append(f"$ {line}")
            if "no-output" not in self.options:
                output = (done.stdout + done.stderr).rstrip("\n").splitlines()
                shown += output[:limit] + (["..."] if len(output) > limit else [])
        block = nodes.literal_block("\n".join(shown), "\n".join(shown))
        block["language"] = "console"
        return [block]


def setup(app: Sphinx) -> dict[str, object]:
    app.add_directive("command", Command)
    return {"parallel_read_safe": True, "parallel_write_safe": True}
