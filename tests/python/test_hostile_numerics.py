"""Hostile input to the numerics over the records: each row is a checkpoint the reader accepts (or
values the cube writer takes) that once crashed, hung, took memory or time out of proportion, or
handed back Inf or NaN; the outcome is a clean error naming the quantity, or a finite result.
The rows that guard time and memory run in a child process, so a hang or a gigabyte fails the
row rather than the suite."""

import math
import os
import re
import subprocess
import sys
import textwrap
from pathlib import Path

import numpy as np
import pytest
import Tesvarin_
from tesvarin.grid.cube_file import read_cube

from tests.python.chk_builder import (
    ALPHA_MO,
    DENSITIES,
    FORCE_CONST,
    MOL,
    ORBENE,
    VIBRATIONS,
    Atom,
    Shell,
    densities,
    mol_section,
    molecule,
    reals,
    vibrations_section,
    water,
)

pytestmark = pytest.mark.filterwarnings("ignore:Section 997:RuntimeWarning")

ROOT = Path(__file__).resolve().parents[2]
WATER = [Atom(8, (0.0, 0.0, 0.2)), Atom(1, (0.0, 1.4, -0.9)), Atom(1, (0.0, -1.4, -0.9))]


def with_frequencies(atoms, freqs, masses=None):
    masses = masses or [12.0] * len(atoms)
    chk = molecule(atoms)
    return chk.add(VIBRATIONS, vibrations_section(masses, freqs, [0.0] * (3 * len(atoms) * len(freqs))))


def l13(exponents=(1.0,), count=1, **mol):
    """`count` Cartesian L = 13 shells (105 functions each) of the given primitives on one hydrogen."""
    shells = [
        Shell(13, 1, list(exponents), coefd=[1.0] * len(exponents), centre=(0.0, 0.0, 0.1 * i)) for i in range(count)
    ]
    return molecule([Atom(1)], shells, nbasis=105 * count, **mol)


def identity_density(n):
    return densities(1, *[1.0 if r == c else 0.0 for r in range(n) for c in range(r + 1)])


def ring(n):
    """n carbons on a circle 1.4 Bohr apart: the rotations of D_n, 2n of them."""
    radius = 1.4 / (2 * math.sin(math.pi / n))
    angles = 2 * math.pi * np.arange(n) / n
    return [Atom(6, (radius * math.cos(a), radius * math.sin(a), 0.0)) for a in angles]


def density(path, kind=-1, part="total", points=((0.0, 0.0, 0.0),), **options):
    return Tesvarin_.grid.evaluate_density(
        Tesvarin_.ChkReader_(path), np.array(points, dtype=float), kind, part, **options
    )


def one_orbital(chk, nbasis, coefficient=1e-3):
    return chk.add(ORBENE, reals(-0.5)).add(ALPHA_MO, reals(*np.full(nbasis, coefficient)))


def potential(path, kind=0, points=((0.1, 0.2, 0.3), (0.0, 0.0, -1e300), (1e101, 0.0, 0.0), (-1.7e308, 0.0, 0.0))):
    """The potential and field of a stored density (or, kind -1, of the occupied orbitals) near and far."""
    reader = Tesvarin_.ChkReader_(path)
    return Tesvarin_.grid.evaluate_potential(reader, np.array(points, dtype=float), kind, field=True)


def potential_in_child(path):
    """The potential of the occupied orbitals' density at one point, in a child (the setup it refuses would
    take hours, or more memory than the machine has)."""
    child_error(
        f"import Tesvarin_, numpy as np\n"
        f"Tesvarin_.grid.evaluate_potential(Tesvarin_.ChkReader_({str(path)!r}), np.array([[0.5, 0.5, 0.5]]), -1)"
    )


def thermo(path, **options):
    return Tesvarin_.thermo.thermochemistry(Tesvarin_.ChkReader_(path), **options)["thermal_gibbs"]


def harmonic(path, masses=()):
    return Tesvarin_.thermo.harmonic_analysis(Tesvarin_.ChkReader_(path), list(masses))["frequencies"]


def in_child(code, timeout):
    """Runs `code` (with `path` bound) in a fresh interpreter; its last line of output."""
    done = subprocess.run(
        [sys.executable, "-c", textwrap.dedent(code)],
        capture_output=True,
        text=True,
        timeout=timeout,
        env=dict(os.environ, PYTHONPATH=os.pathsep.join(sys.path)),
        cwd=ROOT,
    )
    assert done.returncode == 0, done.stderr[-2000:]
    return done.stdout.strip().splitlines()[-1]


def child_error(code, timeout=30):
    """Runs `code` in a child that prints the first line of the RuntimeError it raises; raises it here."""
    raise RuntimeError(
        in_child(
            f"try:\n{textwrap.indent(textwrap.dedent(code), '    ')}\nexcept RuntimeError as e:\n"
            "    print(str(e).splitlines()[0])",
            timeout,
        )
    )


def peak_growth(path):
    """MiB the evaluation of the occupied density (second derivatives, two threads) adds to the peak."""
    growth = float(
        in_child(
            f"""
            import resource, numpy as np, Tesvarin_
            r = Tesvarin_.ChkReader_({str(path)!r})
            before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
            Tesvarin_.grid.evaluate_density(r, np.zeros((300, 3)), -1, derivatives=2, threads=2)
            print((resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - before) / 1024)
            """,
            timeout=120,
        )
    )
    assert growth <= 64  # MiB; the result is 300 x 5 values
    return growth


def symmetry_in_child(path):
    sigma = int(
        in_child(
            f"""
            import Tesvarin_
            print(Tesvarin_.thermo.thermochemistry(Tesvarin_.ChkReader_({str(path)!r}))["symmetry_number"])
            """,
            timeout=30,  # the cubic search took a minute on 1 600 atoms, the sorted one well under a second
        )
    )
    assert sigma == 3200
    return sigma


def cube_round_trip(path):
    """Values and header fields at the edges of their columns, written and read back."""
    values = np.array([-1e100, -9.999996e99, 1e300, -1e-320, 2.5]).reshape(1, 1, 5)
    coords = [[-1000.0, 10000.0, -123456.789], [1e300, -1e300, 0.0]]
    Tesvarin_.grid.write_cube(
        os.fsencode(path),
        "t",
        "c",
        [-1000.5, 10000.25, 0.0],
        [[0.1, 0, 0], [0, 0.1, 0], [0, 0, -2000.0]],
        [1, 1, 5],
        [100000, 1],
        [100000.0, -1e5],
        coords,
        [1, 12345, 99999],
        np.repeat(values, 3).reshape(-1),
    )
    cube = read_cube(path)
    assert cube.orbitals == (1, 12345, 99999)
    assert cube.atomic_numbers.tolist() == [100000, 1]
    assert cube.nuclear_charges.tolist() == [100000.0, -1e5]
    assert cube.coordinates.ravel().tolist() == pytest.approx(np.ravel(coords), rel=1e-5)
    assert cube.origin.tolist() == pytest.approx([-1000.5, 10000.25, 0.0], rel=1e-6)
    assert cube.values[0, 0, :, 0] == pytest.approx([-1e100, -1e100, 1e300, 0.0, 2.5], rel=1e-4)
    return 0.0


def far_and_near(path):
    """A tile from the nucleus of an L = 13 shell to 1e24 Bohr: 0 far out, not 0 x inf."""
    values = density(path, kind=0, points=[(0.1, 0.2, 0.3), (1e24, 0.0, 0.0), (0.0, 3e23, 1e24)], derivatives=2)
    assert values[0, 0] > 0 and not values[1:].any()
    return values


# id, checkpoint builder, what is run on the written file, the error's text or None for a finite result
HOSTILE = [
    (
        "no-basis-functions-matrix",
        lambda: molecule([Atom(1)]),
        lambda p: density(p, kind=0),
        "holds no basis functions",
    ),
    ("no-basis-functions-orbitals", lambda: molecule([Atom(1)]), lambda p: density(p), "holds no basis functions"),
    (
        "electron-counts-past-the-orbitals",
        lambda: water().replace(MOL, mol_section(WATER, nbasis=3, nae=2**62, nbe=2**62)),
        lambda p: child_error(
            f"import Tesvarin_, numpy as np\n"
            f"Tesvarin_.grid.evaluate_density(Tesvarin_.ChkReader_({str(p)!r}), np.zeros((1, 3)), -1, 'spin')"
        ),
        "4611686018427387904 alpha electrons, but the checkpoint holds 0 alpha orbitals",
    ),
    (
        "orbital-index-int64-max",
        lambda: water(),
        lambda p: Tesvarin_.grid.evaluate_orbitals(Tesvarin_.ChkReader_(p), np.zeros((1, 3)), [(False, 2**63 - 1)]),
        "alpha orbital 9223372036854775808 asked for; the checkpoint holds 0",
    ),
    ("evaluator-memory-1000-l13-shells", lambda: l13(count=1000, nae=0, nbe=0), peak_growth, None),
    ("symmetry-number-time-1600-ring", lambda: with_frequencies(ring(1600), [500.0]), symmetry_in_child, None),
    ("tiny-frequency", lambda: with_frequencies(WATER, [1e-300, 1e-320, 1000.0]), thermo, None),
    ("atoms-at-one-point", lambda: with_frequencies([Atom(6)] * 3, [1000.0]), thermo, "the atoms sit at one point"),
    (
        "nan-coordinate",
        lambda: with_frequencies([Atom(6), Atom(6, (0.0, 0.0, math.nan)), Atom(8, (0, 1.0, 0))], [1000.0]),
        thermo,
        "coordinate 3 of atom 2 is not finite",
    ),
    (
        "temperature-1e-300",
        lambda: with_frequencies(WATER, [1000.0, 2000.0]),
        lambda p: thermo(p, temperature=1e-300),
        None,
    ),
    (
        "temperature-1e300",
        lambda: with_frequencies(WATER, [1000.0, 2000.0, 3000.0]),
        lambda p: thermo(p, temperature=1e300),
        None,
    ),
    (
        "far-heavy-atom-harmonic",
        lambda: with_frequencies([Atom(6), Atom(6, (0.0, 0.0, 1e300))], [1000.0]).add(
            FORCE_CONST, reals(*[0.1 if r == c else 0.0 for r in range(6) for c in range(r + 1)])
        ),
        lambda p: harmonic(p, [12.0, 1e10]),
        "moments of inertia are beyond the range of a double",
    ),
    (
        "far-atom-harmonic",  # a finite centre of mass, moments past 1e400
        lambda: with_frequencies([Atom(6), Atom(6, (0.0, 0.0, 1e200))], [1000.0]).add(
            FORCE_CONST, reals(*[0.1 if r == c else 0.0 for r in range(6) for c in range(r + 1)])
        ),
        lambda p: harmonic(p, [12.0, 12.0]),
        "moments of inertia are beyond the range of a double",
    ),
    (
        "exponent-1e300-l13",
        lambda: l13([1e300]).add(DENSITIES, identity_density(105)),
        lambda p: density(p, kind=0),
        "(exponent 1e+300, l 13) has a normalisation beyond the range of a double",
    ),
    ("points-1e24-out-beside-near-ones", lambda: l13().add(DENSITIES, identity_density(105)), far_and_near, None),
    ("cube-fields-apart", None, cube_round_trip, None),
    (  # squares of distances past the range of a double: 0 or the charge over r, not Inf times 0
        "potential-points-1e300-out",
        lambda: l13().add(DENSITIES, identity_density(105)),
        potential,
        None,
    ),
    (
        "potential-coefficients-1e200",
        lambda: one_orbital(l13(nbsuse=1, nae=1, nbe=0), 105, 1e200),
        lambda p: potential(p, kind=-1),
        "the density over shells 1 and 1 is beyond the range of a double",
    ),
    (  # 1.8e9 Hermite coefficients (14 GiB) from a 146 KB file
        "potential-1000-l13-shells",
        lambda: one_orbital(l13(count=1000, nbsuse=1, nae=1, nbe=0), 105_000),
        potential_in_child,
        "needs more than 268435456 Hermite coefficients",
    ),
    (  # few coefficients, but 2e12 steps to set them up
        "potential-30-l13-shells-of-ten-primitives",
        lambda: one_orbital(l13([1.0 + 0.1 * k for k in range(10)], count=30, nbsuse=1, nae=1, nbe=0), 3150),
        potential_in_child,
        "or 68719476736 steps to set up",
    ),
]


@pytest.mark.parametrize("build, run, error", [row[1:] for row in HOSTILE], ids=[row[0] for row in HOSTILE])
def test_hostile_input_is_refused_by_name_or_gives_finite_values(tmp_path, build, run, error):
    path = tmp_path / "hostile.chk"
    if build is not None:
        build().write(path)
    if error is not None:
        with pytest.raises(RuntimeError, match=re.escape(error)):
            run(str(path))
        return
    assert np.isfinite(np.asarray(run(str(path)), dtype=float)).all()
