"""The checkpoint length test, in Python, for the command line's checks before it reads or writes.

A 64-bit checkpoint starts with two 8-byte words: the number of directory entries and the
length of the whole file in words, so word 1 times 8 is the file size. The reader refuses any
file that fails this; the command line applies the same test to say why in plain words, and to
recognise a checkpoint that it must never write over.
"""

from __future__ import annotations

import errno
import os
import stat
import struct

_LEADING_WORDS = struct.Struct("<qq")  # directory entries, file length in words


def length_problem(path: str) -> str | None:
    """None when `path` passes the checkpoint length test, else why it does not.
    Raises OSError when the file cannot be opened or read."""
    # Non-blocking, so that a FIFO without a writer is refused instead of waited on.
    fd = os.open(path, os.O_RDONLY | os.O_NONBLOCK)
    try:
        info = os.fstat(fd)
        if stat.S_ISDIR(info.st_mode):
            raise IsADirectoryError(errno.EISDIR, os.strerror(errno.EISDIR), path)
        if not stat.S_ISREG(info.st_mode):
            return "not a 64-bit Gaussian checkpoint (not a regular file)"
        size = info.st_size
        head = os.pread(fd, _LEADING_WORDS.size, 0)
    finally:
        os.close(fd)
    if len(head) < _LEADING_WORDS.size:
        return f"not a 64-bit Gaussian checkpoint (file is {size} bytes, shorter than its 16-byte header)"
    _, length_words = _LEADING_WORDS.unpack(head)
    if length_words * 8 != size:
        return f"not a 64-bit Gaussian checkpoint (file is {size} bytes, its header says {length_words * 8})"
    return None

