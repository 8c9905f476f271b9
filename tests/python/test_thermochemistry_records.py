"""Thermochemistry from built checkpoints: which record it takes, and what a damaged or missing one costs."""

import numpy as np
import pytest
import tesvarin

from tests.python.chk_builder import FORCE_CONST, VIBRATIONS, complete_water, halves, ints, reals, vibrations_section

XYZ = np.array([[0.0, 0.0, 0.2], [0.0, 1.4, -0.9], [0.0, -1.4, -0.9]])


def packed_hessian():
    """Springs between every pair of atoms (invariant under translation and rotation), packed row by row."""
    h = np.zeros((9, 9))
    for a in range(3):
        for b in range(a):
            d = XYZ[a] - XYZ[b]
            block = 0.3 * np.outer(d, d) / (d @ d)
            for i, j, sign in ((a, a, 1), (b, b, 1), (a, b, -1), (b, a, -1)):
                h[3 * i : 3 * i + 3, 3 * j : 3 * j + 3] += sign * block
    return reals(*[h[r, c] for r in range(9) for c in range(r + 1)])


def water(*, force_constants=True, vibrations=b"stored"):
    chk = complete_water()  # real atomic weights 1.5 on every atom
    if vibrations != b"stored":
        chk.replace(VIBRATIONS, vibrations) if vibrations else chk.without(VIBRATIONS)
    if force_constants:
        chk.add(FORCE_CONST, packed_hessian())
        chk.sections.sort(key=lambda s: s[0])
    return chk


def test_the_stored_frequencies_unless_other_masses_ask_for_the_force_constants(chk):
    cp = tesvarin.load(chk(water()))
    t = cp.thermochemistry()
    assert list(t.frequencies_cm1) == [60.0, 3700.0] and t.imaginary_count == 1  # -100 left out
    assert list(t.masses_amu) == [1.5, 1.5, 1.5]
    heavy = cp.thermochemistry(masses=[3.0, 3.0, 3.0])
    # every mass doubled: every frequency of the force constants divided by sqrt(2)
    assert heavy.frequencies_cm1 * np.sqrt(2) == pytest.approx(cp.harmonic_analysis()["frequencies"], rel=1e-12)
    with pytest.raises(ValueError, match="Expected 3 masses, one per atom, found 2"):
        cp.thermochemistry(masses=[1.0, 2.0])


def test_a_damaged_harmonic_analysis_leaves_the_force_constants(chk):
    damaged = halves(3, 0) + halves(3, 3) + ints(8) + reals(1.0, 2.0)  # far shorter than its counts say
    with pytest.warns(tesvarin.ChkWarning, match="765"):
        cp = tesvarin.load(chk(water(vibrations=damaged)))
    t = cp.thermochemistry()
    assert t.frequencies_cm1 == pytest.approx(cp.harmonic_analysis()["frequencies"], rel=1e-12)
    with pytest.raises(ValueError, match="765"):
        cp.raman_activities


def test_what_is_missing_is_named(chk):
    stored_only = tesvarin.load(chk(water(force_constants=False)))
    assert stored_only.thermochemistry().frequencies_cm1.size == 2
    with pytest.raises(ValueError, match="no force constants, which other masses need"):
        stored_only.thermochemistry(masses={0: 18.0})
    with pytest.raises(ValueError, match="no force constants"):
        stored_only.harmonic_analysis()
    neither = tesvarin.load(chk(water(force_constants=False, vibrations=b"")))
    with pytest.raises(ValueError, match="neither frequencies nor force constants"):
        neither.thermochemistry()
    with pytest.raises(ValueError, match="holds no IR intensities"):
        neither.spectrum("ir")
    with pytest.raises(ValueError, match="temperature must be positive"):
        stored_only.thermochemistry(temperature=-5.0)


def test_vibration_blocks_by_name(chk):
    e2 = [-100.0, 1600.0, 3700.0]
    blocks = [1.1, 1.2, 1.3, 0.5, 0.6, 0.7, 10.0, 20.0, 30.0, 5.0, 6.0, 7.0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6]
    payload = vibrations_section([15.99, 1.008, 1.008], e2, [0.1] * 27, le2fix=7)
    at = len(payload) - 8 * 27 - 8 * 18  # E2 blocks 1..6 sit before the modes
    payload = payload[:at] + reals(*blocks) + payload[at + 8 * 18 :]
    cp = tesvarin.load(chk(water(vibrations=payload)))
    assert list(cp.raman_activities) == [5.0, 6.0, 7.0]
    assert list(cp.depolarization_ratios) == [0.1, 0.2, 0.3]
    assert list(cp.depolarization_ratios_unpolarized) == [0.4, 0.5, 0.6]
    plain = tesvarin.load(chk(water()))
    assert plain.raman_activities is None and plain.depolarization_ratios is None
