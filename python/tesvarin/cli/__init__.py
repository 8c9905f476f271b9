"""The ``tesvarin`` command line, one module per command.

`main` parses the arguments and runs the command; ``convert`` writes an fchk, gjf or cube file
from each checkpoint, ``summary``, ``thermo``, ``plot`` and ``export`` are the other commands, and
``_targets`` and ``_inputs`` hold what they share: where an output goes and how it is written
safely, and how an input is checked and parsed.
"""

from tesvarin.cli.main import main

__all__ = ["main"]
