"""The `tesvarin` command's entry point, kept apart from the package so that an interrupt while
NumPy and the extension module load (a tenth of a second or more) ends in one line and exit
status 130, as it does at any later moment, instead of a traceback of the import machinery."""

import signal
import sys


def main() -> int:
    try:
        from tesvarin.cli import main as run

        return run()
    except KeyboardInterrupt:
        print("tesvarin: interrupted", file=sys.stderr, flush=True)
        return 130
    finally:
        # The work is done (or undone): an interrupt now would only turn the exit into a traceback.
        signal.signal(signal.SIGINT, signal.SIG_IGN)


if __name__ == "__main__":
    sys.exit(main())
