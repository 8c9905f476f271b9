"""The table of sections drives the reading of the further sections: each row's section lands in
the record its row names and costs only that record, and damage() gives the damaged sections in
the table's order, the order in which load() warns."""

from __future__ import annotations

import re

import pytest

from tests.python.chk_builder import LABELS_HEADER, QUARTER_Z, complete_water

# (label, name, slot) of every FURTHER row, in the table's order.
FURTHER = [
    (int(label), name, slot)
    for label, name, slot in re.findall(r'\bFURTHER\(k\w+,\s*(\d+),\s*"([^"]+)",\s*(\w+),', LABELS_HEADER.read_text())
]
# The records the module shows under the slot's own name (the fitting basis shows only in the fchk).
UNBOUND = {"density_basis"}
# Sections the basic parse reads too (the molecule, the version text): beyond the file, they refuse it.
BENT = [row for row in FURTHER if row[0] not in (997, 801)]


def with_every_further_section():
    return complete_water(orient=QUARTER_Z)


def outside(label, name):
    return rf"Section {label} \({re.escape(name)}\): words \d+ to \d+ lie outside the file of \d+ words"


def test_the_table_lists_every_further_record_once():
    assert len(FURTHER) == len({slot for _, _, slot in FURTHER}) == 20
    assert [label for label, _, _ in FURTHER][:4] == [997, 503, 512, 511]


@pytest.mark.parametrize("label, name, slot", BENT, ids=[slot for _, _, slot in BENT])
def test_a_section_beyond_the_file_costs_only_the_record_of_its_row(read, label, name, slot):
    intact = read(with_every_further_section())
    bent = read(with_every_further_section(), end_delta={label: 1 << 20})
    assert len(bent.further.damage) == 1 and re.fullmatch(outside(label, name), bent.further.damage[0])
    if slot not in UNBOUND:
        assert getattr(bent.further, slot) is None
    # Every other record reads as in the intact file.
    for _, _, other in FURTHER:
        if other != slot and other not in UNBOUND:
            assert (getattr(bent.further, other) is None) == (getattr(intact.further, other) is None), other


def test_damage_comes_in_the_order_of_the_table(read):
    bent = read(with_every_further_section(), end_delta={label: 1 << 20 for label, _, _ in BENT})
    assert len(bent.further.damage) == len(BENT)
    for message, (label, name, _) in zip(bent.further.damage, BENT, strict=True):
        assert re.fullmatch(outside(label, name), message)
