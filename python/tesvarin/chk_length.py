"""The checkpoint length test, in Python, to say in plain words what a file that fails it is.

A 64-bit checkpoint starts with two 8-byte words: the number of directory entries and the
length of the whole file in words, so word 1 times 8 is the file size. The reader refuses any
file that fails this; the command line and `tesvarin.load` apply the same test to say why (a
formatted checkpoint, a log, an input file, a copy cut short, a checkpoint of the 32-bit
program), and the command line uses it to recognise a checkpoint that it must never write over.
"""

from __future__ import annotations

import errno
import os
import re
import stat
import struct

_LEADING_WORDS = struct.Struct("<qq")  # directory entries, file length in words
_LEADING_WORDS_32 = struct.Struct("<ii")  # the same in the 4-byte integers of the 32-bit program
_SNIFF = 4096  # bytes looked at to tell a text file and its kind
_MAX_ENTRIES = 1 << 20  # far more directory entries than any checkpoint has

# Each kind of text file that is handed over for a checkpoint: a line that only it has, the
# suffixes it goes by, and what to say.
_FOR_THE_CHK = "tesvarin reads the binary .chk that the job wrote (its %chk line names it)"
_TEXT_KINDS = (
    (
        re.compile(rb"^Number of atoms {2,}I ", re.M),
        (".fchk", ".fch"),
        "a formatted (text) checkpoint, not a binary one: tesvarin reads the .chk that formchk reads",
    ),
    (
        re.compile(rb"Entering Gaussian System|Gaussian, Inc\.|Normal termination of Gaussian"),
        (".log", ".out"),
        f"a Gaussian output (log) file, not a checkpoint: {_FOR_THE_CHK}",
    ),
    (
        re.compile(rb"^ *(#|%chk=|%mem=|%nproc)", re.M | re.I),
        (".gjf", ".com", ".gau"),
        f"a Gaussian input file, not a checkpoint: {_FOR_THE_CHK}",
    ),
)


def _text_kind(head: bytes, path: str) -> str:
    suffix = os.path.splitext(path)[1].lower()
    for line, _suffixes, words in _TEXT_KINDS:
        if line.search(head):
            return words
    for _, suffixes, words in _TEXT_KINDS:
        if suffix in suffixes:
            return words
    return "a text file, not a binary checkpoint"


def _is_text(head: bytes) -> bool:
    # A checkpoint's first word is a small integer, so its leading bytes hold NULs; text never does.
    return b"\0" not in head and sum(b < 9 or 13 < b < 32 or b == 127 for b in head) * 20 < len(head)


def _why_not(size: int, head: bytes, path: str) -> str | None:
    """What the file is, from its size and first bytes, when it fails the length test; else None."""
    if size == 0:
        return "an empty file, not a checkpoint"
    if _is_text(head):
        return _text_kind(head, path)
    if len(head) >= _LEADING_WORDS_32.size:
        entries32, words32 = _LEADING_WORDS_32.unpack_from(head)
        if 0 < entries32 <= _MAX_ENTRIES and words32 * 8 == size:
            return "a checkpoint of the 32-bit program (4-byte integers): tesvarin reads those of the 64-bit program"
    if len(head) < _LEADING_WORDS.size:
        return f"not a checkpoint: the file is {size} bytes, shorter than the 16-byte header"
    entries, words = _LEADING_WORDS.unpack_from(head)
    if words * 8 == size:
        return None
    if not (0 < entries <= _MAX_ENTRIES and 0 < words <= (1 << 60)):
        return "not a Gaussian checkpoint: its first 16 bytes are no checkpoint header"
    if words * 8 > size:
        return f"truncated: the file is {size} bytes, its directory needs {words * 8}"
    return f"not a checkpoint as written: the file is {size} bytes, its header says {words * 8}"


def length_problem(path: str) -> str | None:
    """None when `path` passes the checkpoint length test, else what the file is, in words.
    Raises OSError when the file cannot be opened or read."""
    # Non-blocking, so that a FIFO without a writer is refused instead of waited on.
    fd = os.open(path, os.O_RDONLY | os.O_NONBLOCK)
    try:
        info = os.fstat(fd)
        if stat.S_ISDIR(info.st_mode):
            raise IsADirectoryError(errno.EISDIR, os.strerror(errno.EISDIR), path)
        if not stat.S_ISREG(info.st_mode):
            return "not a 64-bit Gaussian checkpoint (not a regular file)"
        head = os.pread(fd, _SNIFF, 0)
    finally:
        os.close(fd)
    return _why_not(info.st_size, head, os.fsdecode(path))
