"""The exception classes of the extension module `Tesvarin_`, which loads this file as it starts.

Every error is a RuntimeError, and also the built-in that fits, so both `except RuntimeError` and
`except FileNotFoundError` catch it. The classes belong to `Tesvarin_` (their `__module__`), so
that pickles and reprs name the module users import them from. Import them from `tesvarin` or
`Tesvarin_`; this file imports nothing of either, so that the extension can load it before the
package has run.
"""

from __future__ import annotations

from os import strerror
from typing import Any


class ChkError(RuntimeError):
    """A failure of the checkpoint reader or its writers; str() is the reader's full message.

    `tesvarin.load` raises these with words that name the file and what is wrong with it; the
    reader's full message is then `detail` (None otherwise), and repr() shows both."""

    detail: str | None = None

    def __repr__(self) -> str:
        if self.detail is None:
            return super().__repr__()
        return f"{type(self).__name__}({str(self)!r}, detail={self.detail!r})"


class ChkFormatError(ChkError, ValueError):
    """The file is not a valid checkpoint, or holds what the reader refuses."""


class ChkOSError(ChkError, OSError):
    """A file could not be opened or written; errno, strerror and filename are set."""

    text: str

    def __init__(self, text: str, errno: int = 0, filename: str | None = None) -> None:
        OSError.__init__(self, errno, strerror(errno), filename)
        self.text = text

    def __str__(self) -> str:
        return self.text

    def __reduce__(self) -> tuple[Any, ...]:
        return type(self), (self.text, self.errno, self.filename), self.__dict__


class ChkFileNotFoundError(ChkOSError, FileNotFoundError):
    """The file does not exist."""


class ChkPermissionError(ChkOSError, PermissionError):
    """The file may not be read or written."""


class ChkIsADirectoryError(ChkOSError, IsADirectoryError):
    """The path names a directory."""


class ChkWarning(UserWarning):
    """A damaged or unknown section whose quantities were left out; the rest of the file was read."""


CLASSES = (
    ChkError,
    ChkFormatError,
    ChkOSError,
    ChkFileNotFoundError,
    ChkPermissionError,
    ChkIsADirectoryError,
    ChkWarning,
)
for _cls in CLASSES:
    _cls.__module__ = "Tesvarin_"
