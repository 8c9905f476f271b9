"""Whether the values of a grid fit in this machine's memory, said before any is evaluated."""

from __future__ import annotations

import os

__all__ = ["too_large"]

VALUE_BYTES = 8  # one double per point and orbital


def _memory() -> int | None:
    """This machine's physical memory in bytes, when the system says."""
    try:
        return os.sysconf("SC_PHYS_PAGES") * os.sysconf("SC_PAGE_SIZE")
    except (ValueError, OSError, AttributeError):
        return None


def too_large(points: int, values_per_point: int) -> str | None:
    """Why a grid of `points` points with that many values each cannot be held, or None."""
    need, have = points * values_per_point * VALUE_BYTES, _memory()
    if have is None or need <= have:
        return None
    gib = 2**30
    return (
        f"{points:,} grid points need {need / gib:,.1f} GiB of values, more than this machine's {have / gib:,.1f} GiB"
    )
