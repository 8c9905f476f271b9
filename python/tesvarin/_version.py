"""The version of the installed package, as its metadata gives it."""

from importlib.metadata import PackageNotFoundError, version

try:
    __version__ = version("tesvarin")
except PackageNotFoundError:  # imported from a source tree that was never installed
    __version__ = "0+unknown"
