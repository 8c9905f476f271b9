"""Writes binary checkpoints from plain values, one section at a time.

A checkpoint is a sequence of 8-byte words: a leading record (number of directory
entries, file length in words, two spare words), the directory of four-word entries
(label, start word, end word, extra) and the sections' data. Every helper returns
the words of one section; `Chk.build` lays them out. Keyword overrides break one
thing on purpose.
"""

from __future__ import annotations

import struct
from dataclasses import dataclass, field
from pathlib import Path


def ints(*values: int) -> bytes:
    return struct.pack(f"<{len(values)}q", *values)


def reals(*values: float) -> bytes:
    return struct.pack(f"<{len(values)}d", *values)


def padded(data: bytes | str, nbytes: int, fill: bytes = b" ") -> bytes:
    raw = data.encode() if isinstance(data, str) else data
    return raw[:nbytes] + fill * (nbytes - len(raw[:nbytes]))


def word_align(data: bytes, fill: bytes = b" ") -> bytes:
    return data + fill * (-len(data) % 8)


@dataclass
class Chk:
    """Sections in file order; `entries` may add directory entries by hand."""

    sections: list[tuple[int, bytes]] = field(default_factory=list)
    entries: list[tuple[int, int, int, int]] = field(default_factory=list)

    def add(self, label: int, payload: bytes) -> Chk:
        self.sections.append((label, word_align(payload)))
        return self

    def without(self, label: int) -> Chk:
        self.sections = [(lab, data) for lab, data in self.sections if lab != label]
        return self

    def replace(self, label: int, payload: bytes) -> Chk:
        self.sections = [(lab, word_align(payload) if lab == label else data) for lab, data in self.sections]
        return self

    def build(
        self, *, nentries: int | None = None, length_words: int | None = None, end_delta: dict[int, int] | None = None
    ) -> bytes:
        count = len(self.sections) + len(self.entries)
        word = 4 + 4 * count
        directory, body = [], b""
        for label, data in self.sections:
            end = word + len(data) // 8 + (end_delta or {}).get(label, 0)
            directory.append((label, word, end, 0))
            body += data
            word += len(data) // 8
        directory += self.entries
        total = 4 + 4 * count + len(body) // 8
        head = ints(count if nentries is None else nentries, total if length_words is None else length_words, 0, 0)
        return head + b"".join(ints(*e) for e in directory) + body

    def write(self, path: Path | str, **overrides) -> str:
        Path(path).write_bytes(self.build(**overrides))
        return str(path)
