"""Job kinds with records of their own: the spin-spin couplings of an NMR job (695) and the residue
records of a molecular-mechanics input (997), from built checkpoints and against the real files' logs."""

from __future__ import annotations

import re
import warnings

import numpy as np
import pytest
import tesvarin

from tests.python.chk_builder import MOL, QEQ, Atom, complete_water, ints, mol_section, qeq_section, reals
from tests.python.real_files import SHARED

REAL5 = SHARED / "realchk5"
NMR = REAL5 / "g09d01-es64l-nmr-giao-spinspin/ethanol_b3lyp_nmr_giao_spinspin.chk"
MM = REAL5 / "g09d01-em64m-amber-mm-only/pcnsr_amber_mm_sp.chk"
WATER = [Atom(8, (0.0, 0.0, 0.2)), Atom(1, (0.0, 1.4, -0.9)), Atom(1, (0.0, -1.4, -0.9))]


def log_triangles(log: str, natoms: int) -> dict[str, tuple[np.ndarray, np.ndarray]]:
    """Each "... (Hz):" matrix of the .log (lower triangles in blocks of five columns) as a full symmetric
    matrix, with half a unit of each printed value's last digit."""
    found = {}
    for match in re.finditer(r"^ (.+?) \(Hz\): *\n", log, re.M):
        values, half, columns = np.zeros((natoms, natoms)), np.zeros((natoms, natoms)), []
        for line in log[match.end() :].splitlines():
            fields = line.split()
            if fields and all(f.isdigit() for f in fields):
                columns = [int(f) - 1 for f in fields]
            elif len(fields) >= 2 and fields[0].isdigit() and "D" in fields[1]:
                for col, text in zip(columns, fields[1:], strict=False):
                    mantissa, exponent = text.split("D")
                    row = int(fields[0]) - 1
                    values[row, col] = values[col, row] = float(mantissa) * 10.0 ** int(exponent)
                    unit = 0.5 * 10.0 ** (int(exponent) - len(mantissa.split(".")[1]))
                    half[row, col] = half[col, row] = unit
            else:
                break
        found[match[1]] = values, half
    return found


@pytest.mark.skipif(not NMR.is_file(), reason=f"the NMR spin-spin checkpoint of {REAL5} is absent")
def test_spin_spin_couplings_equal_the_logs_matrices():
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        cp = tesvarin.load(NMR)
    s = cp.spin_spin_couplings
    assert cp.reader.further.qeq_tensors.shape == (9, 6)  # kept beside the couplings
    printed = log_triangles(NMR.with_suffix(".log").read_text(), 9)
    names = {
        "fermi_contact": "Fermi Contact (FC) contribution to {}",
        "spin_dipolar": "Spin-dipolar (SD) contribution to {}",
        "paramagnetic_spin_orbit": "Paramagnetic spin-orbit (PSO) contribution to {}",
        "diamagnetic_spin_orbit": "Diamagnetic spin-orbit (DSO) contribution to {}",
        "total": "Total nuclear spin-spin coupling {}",
    }
    for name, title in names.items():
        for ours, letter in [(s.reduced[name], "K"), (s.couplings[name], "J")]:
            values, half = printed[title.format(letter)]
            # the stored K carries about six decimals; their rounding reaches J times the g factors
            slack = 1.5e-6 * (np.abs(np.outer(s.g_factors, s.g_factors)) if letter == "J" else 1)
            assert np.all(np.abs(ours - values) <= half + slack), (name, letter)
            assert np.array_equal(ours, ours.T)
    assert s.isotopes.tolist() == [13, 13, 17] + [1] * 6


def test_built_couplings_are_read_beside_the_qeq_tensors(chk):
    """Four triangles after the tensors: K per contribution and summed, J = K g_A g_B (g = 2 GFac / (2I))."""
    tensors = [0.1, 0.0, 0.2, 0.0, 0.0, 0.3] * 3
    triangles = [float(10 * c + k) for c in range(4) for k in range(6)]
    cp = tesvarin.load(chk(complete_water().replace(QEQ, qeq_section(tensors, triangles))))
    s = cp.spin_spin_couplings
    assert cp.reader.further.qeq_tensors.ravel().tolist() == tensors
    fc = s.reduced["fermi_contact"]
    assert fc.tolist() == [[0.0, 1.0, 3.0], [1.0, 2.0, 4.0], [3.0, 4.0, 5.0]]
    assert s.reduced["total"].tolist() == (fc * 4 + 60).tolist()
    assert s.g_factors.tolist() == [1.0] * 3 and s.isotopes.tolist() == [2] * 3  # the builder's spins and GFac
    assert s.couplings["total"].tolist() == s.reduced["total"].tolist()
    assert tesvarin.load(chk(complete_water())).spin_spin_couplings is None


def test_built_mm_records_shift_the_blocks_after_them(chk):
    """A version-09 molecule section with one symbol, one residue and one structure: the records between the
    blocks are read, and the blocks after them (MicOpt, ZNuc) from their shifted places."""
    n, per = 3, 6  # atoms, words per block
    blocks = {9: b"O1      H1      H2      ", 11: ints(1, 1, 1), 16: ints(-1, -1, -1), 17: reals(8.0, 1.0, 1.0)}
    words = mol_section(WATER, nbasis=3, layout=-12347, nblocks=18, blocks=blocks)
    words = words[: 8 * 12] + ints(1, 1, 1) + words[8 * 15 :]
    at = 8 * (20 + 17 * per)  # after block 16
    words = words[:at] + b"WAT     " + ints(0x80000000 | 7 << 12 | 1) + ints(*range(9)) + words[at:]
    at = 8 * (20 + 16 * per)  # after block 15
    words = words[:at] + b"CD      " + b" " * 8 + words[at:]
    atoms = tesvarin.load(chk(complete_water(-12347).replace(MOL, words))).reader.further.atoms
    assert (atoms.symbols, atoms.atom_names, atoms.residue_names) == (["CD"], ["O1", "H1", "H2"], ["WAT"])
    assert atoms.atom_residues.tolist() == [1, 1, 1] and (int(atoms.residue_codes[0]) & 0x7FFFFFFF) >> 12 == 7
    assert atoms.structures.tolist() == [list(range(9))]
    assert atoms.micopt.tolist() == [-1] * n and atoms.znuc.tolist() == [8.0, 1.0, 1.0]


@pytest.mark.skipif(not MM.is_file(), reason=f"the molecular-mechanics checkpoint of {REAL5} is absent")
def test_molecular_mechanics_records_equal_the_input(tmp_path):
    iodata = pytest.importorskip("iodata")
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        cp = tesvarin.load(MM)
    atoms = cp.reader.further.atoms
    # "C-CT--0.3662(PDBName=CH3,ResName=ACE,ResNum=64)": element, type, charge and PDB data per atom
    line = r"^\w+-[^-]+-(-?[\d.]+)\(PDBName=(\w+),ResName=(\w+),ResNum=(\d+)\)"
    charges, names, residues, numbers = zip(*re.findall(line, MM.with_suffix(".com").read_text(), re.M), strict=True)
    assert len(names) == 46
    assert atoms.mm_charges.tolist() == [float(c) for c in charges]
    assert atoms.atom_names == list(names)
    assert [atoms.residue_names[i - 1] for i in atoms.atom_residues] == list(residues)
    pdb = [(code & 0x7FFFFFFF) >> 12 for code in atoms.residue_codes.tolist()]
    assert [pdb[i - 1] for i in atoms.atom_residues] == [int(n) for n in numbers]
    assert atoms.symbols == ["CD"]  # "Define CD 1" in the log: the type that reads as cadmium
    # the blocks after the records: MicOpt (-1: free) and ZNuc (the nuclear charges)
    assert atoms.micopt.tolist() == [-1] * 46 and atoms.znuc.tolist() == cp.atomic_numbers.tolist()
    path = tmp_path / "mm.fchk"
    cp.reader.write_fchk(str(path), complete=True)
    labels = [line[:40].strip() for line in path.read_text().splitlines()[2:] if line[:1].isalpha()]
    assert labels.count("Alpha Orbital Energies") == 1 and labels.count("MM charges") == 1
    data = iodata.load_one(str(path))
    assert data.atnums.tolist() == cp.atomic_numbers.tolist() and data.mo.norba == 0


PM3 = REAL5 / "g16a03-pm3-semiempirical/isop_conf001_pm3_opt.chk"


@pytest.mark.skipif(not PM3.is_file(), reason=f"the semi-empirical checkpoint of {REAL5} is absent")
def test_semi_empirical_orbitals_are_orthonormal_in_the_unit_metric_and_refused_on_points():
    cp = tesvarin.load(PM3)
    c, p = cp.alpha_mo_coefficients, cp.total_densities["SCF"]
    assert cp.basis_name == "ZDO" and np.allclose(c @ c.T, np.eye(len(c)), atol=1e-12)
    assert np.trace(p) == pytest.approx(58, abs=1e-9)  # the valence electrons, in the unit metric
    points = cp.coordinates[:2] + 0.5
    for call in (
        lambda: cp.evaluate(points),
        lambda: cp.evaluate(points, "orbitals:homo"),
        lambda: cp.potential(points),
        lambda: cp.cube("density", grid=4),
        lambda: cp.esp_charges(),
    ):
        with pytest.raises(ValueError, match=r"semi-empirical \(ZDO\) method"):
            call()


@pytest.mark.parametrize("command", ["summary", "export"])
def test_any_failure_of_one_file_is_its_message_and_the_rest_go_on(chk, tmp_path, monkeypatch, capsys, command):
    """An exception of no expected kind in one file's summary or export row ends neither."""
    from tesvarin.cli import summary
    from tesvarin.cli.main import main
    from tesvarin.export import rows

    good, bad = chk(complete_water()), chk(complete_water())

    def boom(_):
        raise KeyError("unexpected")

    if command == "summary":
        original = summary.as_text
        monkeypatch.setattr(summary, "as_text", lambda r, p: boom(r) if p == bad else original(r, p))
        assert main(["summary", good, bad]) == 1
        captured = capsys.readouterr()
        assert good in captured.out and f"{bad}: 'unexpected'" in captured.err
        return
    pq = pytest.importorskip("pyarrow.parquet")
    original = rows.load
    monkeypatch.setattr(rows, "load", lambda p, sections=None: boom(p) if p == bad else original(p, sections))
    assert main(["export", good, bad, "-o", str(tmp_path / "t.parquet")]) == 1
    assert [r["error"] for r in pq.read_table(tmp_path / "t.parquet").to_pylist()] == [None, "'unexpected'"]
