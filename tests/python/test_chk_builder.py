"""The test builder takes its section labels from the reader's table in the C++ header."""

from __future__ import annotations

import re

from tests.python.chk_builder import LABELS_HEADER, SECTIONS


def test_builder_copy_holds_every_section_of_the_reader_table():
    text = LABELS_HEADER.read_text()
    rows = re.findall(r"\b(?:BASIC|FURTHER)\((k\w+)", text)
    # A row the builder's pattern misses fails here.
    assert sorted(SECTIONS) == sorted(rows)
    numbers = [number for number, _ in SECTIONS.values()]
    assert len(numbers) == len(set(numbers))
    assert {SECTIONS[k] for k in ("kBonds", "kVibrations", "kSwitches")} == {
        (503, "bonds"),
        (765, "vibrations"),
        (998, "switches"),
    }
