"""The `tesvarin` command's entry point, kept apart from the package so that an interrupt while
NumPy and the extension module load (a tenth of a second or more) ends in one line and exit
status 130, as it does at any later moment, instead of a traceback of the import machinery."""

import sys


def main() -> int:
    try:
        from tesvarin.cli import main as run
    except KeyboardInterrupt:
        print("tesvarin: interrupted", file=sys.stderr, flush=True)
        return 130
    return run()


if __name__ == "__main__":
    sys.exit(main())
