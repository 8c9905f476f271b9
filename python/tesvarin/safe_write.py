"""Writing a file so that a failure never leaves it half written.

The content goes to a temporary file in the target's own folder (so the final rename stays on
one file system and is atomic) and is moved into place only once it is complete and on disk.
"""

from __future__ import annotations

import contextlib
import errno
import os
import resource
import signal
import stat
import tempfile
from collections.abc import Callable, Iterator


def write_replacing(target: str, write: Callable[[str], None], *, replace: bool) -> None:
    """Calls `write(path)` on a new temporary file beside `target`, then puts it at `target`.

    Without `replace` an existing target is kept and FileExistsError raised, with no window in
    which a file that appears meanwhile could be overwritten. Whatever fails, including an
    interrupt, the temporary file is removed and the target is as it was.
    """
    folder, name = os.path.split(target)
    temporary = ""
    try:
        # An interrupt waits until the temporary file's name is kept, so that the finally below removes it.
        with interrupts_held():
            fd, temporary = tempfile.mkstemp(dir=folder or ".", prefix=f".{name}.", suffix=".tmp")
            os.close(fd)
        try:
            write(temporary)
        except Exception as error:
            # The writers' own errno says "too large" or "no space"; the look afterwards says which limit.
            plain = isinstance(error, OSError) and error.errno not in (errno.EFBIG, errno.ENOSPC)
            cause = None if plain else _why_write_failed(temporary)
            if cause is None:
                raise
            raise cause from error
        os.chmod(temporary, _mode_for(target))
        _flush_to_disk(temporary)
        if replace:
            os.replace(temporary, target)
        else:
            _link_unless_exists(temporary, target)
    finally:
        if temporary:
            with contextlib.suppress(FileNotFoundError):
                os.unlink(temporary)


@contextlib.contextmanager
def interrupts_held() -> Iterator[None]:
    """SIGINT held back for the duration, delivered as soon as it ends."""
    if not hasattr(signal, "pthread_sigmask"):
        yield
        return
    previous = signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGINT})
    try:
        yield
    finally:
        signal.pthread_sigmask(signal.SIG_SETMASK, previous)


def _link_unless_exists(source: str, target: str) -> None:
    try:
        os.link(source, target)  # fails with FileExistsError, atomically, if target exists
    except FileExistsError:
        raise
    except OSError:  # a file system without hard links: check, then rename
        if os.path.lexists(target):
            raise FileExistsError(errno.EEXIST, os.strerror(errno.EEXIST), target) from None
        os.replace(source, target)


def _mode_for(target: str) -> int:
    """The permissions the target has now, or those a new file gets under the umask."""
    try:
        return stat.S_IMODE(os.stat(target).st_mode)
    except OSError:
        umask = os.umask(0)
        os.umask(umask)
        return 0o666 & ~umask


def _flush_to_disk(path: str) -> None:
    fd = os.open(path, os.O_RDONLY)
    try:
        os.fsync(fd)
    finally:
        os.close(fd)


def _why_write_failed(path: str) -> OSError | None:
    """The writers report only that a write failed; the usual causes can be seen afterwards."""
    with contextlib.suppress(OSError):
        limit = resource.getrlimit(resource.RLIMIT_FSIZE)[0]
        if limit != resource.RLIM_INFINITY and os.stat(path).st_size >= limit:
            return OSError(errno.EFBIG, os.strerror(errno.EFBIG) + " (file size limit, ulimit -f)")
        space = os.statvfs(path)
        if space.f_bavail == 0 or space.f_bfree == 0:
            return OSError(errno.ENOSPC, os.strerror(errno.ENOSPC))
    return None
