"""Checkpoints written by the 64-bit program itself, read: the job, counts, energies and arrays against its
.log and formchk's .fchk, and the broken ones refused (files from tests/python/real_files.py).
"""

from __future__ import annotations

import re

import numpy as np
import pytest
import Tesvarin_

from tests.python.real_files import (
    BOHR,
    BROKEN,
    CHKS,
    DEAD,
    EVERY,
    FOLDERS,
    GOOD,
    LOG_DOES_NOT_FIT,
    NEWER,
    NEWEST,
    NO_LOG,
    REAL,
    REAL2,
    REAL3,
    WITH_FCHK,
    WITH_LOG,
    e16,
    expected_error,
    fmt,
    key,
    log_facts,
    norm,
    numbers,
    read_fchk,
    reader,
    scalar,
    twin,
)

pytestmark = pytest.mark.skipif(not REAL.is_dir(), reason=f"real checkpoint folder {REAL} is absent")


def test_inventory():
    keys = {key(p) for p in CHKS}
    assert DEAD | {k for k in NO_LOG if k.startswith("g16-")} | {"g09-32bit/energy", "g09-32bit/freq"} <= keys
    assert len(GOOD) == 28 and len([p for p in WITH_FCHK if p in GOOD]) == 15


@pytest.mark.skipif(not REAL3.is_dir(), reason=f"third real checkpoint folder {REAL3} is absent")
def test_inventory_of_the_newest_files():
    """Six checkpoints of excited-state, solvent, 16 C.01 and trajectory jobs, each with formchk's twin."""
    assert len(NEWEST) == 6 and all(p in WITH_FCHK for p in NEWEST)


def test_every_folder_and_both_twin_names_are_found():
    """Each realchk* folder's checkpoints are walked, and a twin named .fch (09 E.01's) counts as one."""
    for folder in FOLDERS:
        assert {p for p in folder.glob("*/*.chk") if not expected_error(p)} <= set(EVERY), folder
    fifth = [p for p in EVERY if p.parent.parent.name == "realchk5"]
    if fifth:
        assert len(fifth) == 5 and [twin(p).suffix for p in fifth if p in WITH_FCHK] == [".fch"]


@pytest.mark.skipif(not REAL2.is_dir(), reason=f"real checkpoint folder {REAL2} is absent")
def test_inventory_of_newer_and_open_shell_files():
    keys = {key(p) for p in NEWER}
    assert {k for k in NO_LOG if k.startswith("g16b")} | {"g16c-kinbot-openshell/OH_doublet_um062x"} <= keys
    assert len(NEWER) == 9 and len([p for p in WITH_LOG if p in NEWER]) == 7


@pytest.mark.parametrize("chkfile", BROKEN, ids=key)
def test_broken_files_are_refused(chkfile):
    with pytest.raises(RuntimeError, match=re.escape(expected_error(chkfile))):
        Tesvarin_.ChkReader_(str(chkfile))


@pytest.mark.parametrize("chkfile", [p for p in EVERY if key(p) not in LOG_DOES_NOT_FIT], ids=key)
def test_job_description_agrees_with_log_and_fchk(chkfile):
    p = reader(chkfile).params
    assert p.mol.natoms > 0 and p.mol.nbasis > 0
    if key(chkfile) in NO_LOG:
        facts = (p.title, p.route, p.method, p.baset, p.jobtype, p.gauver.split()[0], p.mol.nbasis)
        assert facts == NO_LOG[key(chkfile)]
        return
    text, blocks, archives, (major, build) = log_facts(chkfile.with_suffix(".log"))
    assert p.title in blocks
    assert norm(p.route) in {norm(b) for b in blocks}
    assert f"Standard basis: {p.baset} " in text
    if archives:
        assert (p.jobtype, p.method, p.baset, p.title) in archives
    else:  # an MP2 job's .log names only the reference: E(RHF)
        assert f"E({p.method})" in text or ("MP2" in p.method and "EUMP2 =" in text)
    # 09 E.01 is the first 09 build known to store its version
    assert (p.gauver.split() or [""])[0] in ({build} if major == "16" else {build, "Unknown"})
    fchk = twin(chkfile)
    if fchk:
        (title, line2), entries = read_fchk(fchk)
        assert title.rstrip() == p.title[:72] and line2.split() == [p.jobtype, p.method, p.baset]
        if "Route" in entries:
            assert "".join(entries["Route"][1]).rstrip() == p.route


def printed(text: str) -> tuple[float, float]:
    """A number as the .log prints it ("-75.7334899974", "-0.11962554048187D+04") and half its last digit."""
    mantissa, _, exponent = text.partition("D")
    return float(text.replace("D", "E")), 0.5 * 10.0 ** (int(exponent or 0) - len(mantissa.split(".")[1]))


def last_eigenvalues(lines: list[str]) -> dict[str, list[float]]:
    """The last run of "Alpha/Beta occ./virt. eigenvalues --" lines, by spin (printed with five decimals)."""
    found, previous = {}, -2
    for i, line in enumerate(lines):
        if " eigenvalues -- " in line:
            found = {} if i != previous + 1 else found
            found.setdefault(line.split()[0], []).extend(map(float, re.findall(r"-?\d+\.\d{5}", line[27:])))
            previous = i
    return found


@pytest.mark.parametrize("chkfile", WITH_LOG, ids=key)
def test_energies_counts_and_orbital_energies_agree_with_log(chkfile):
    p = reader(chkfile).params
    m = p.mol
    text = log_facts(chkfile.with_suffix(".log"))[0]
    scf, tol = printed(re.findall(r"SCF Done:  E\(\S+\) = +(\S+)", text)[-1])
    assert abs(p.scfene - scf) <= tol
    mp2 = re.findall(r"EUMP2 = +(\S+)", text)
    total, tol = printed(mp2[-1]) if mp2 else (p.scfene, 0.0)
    assert abs(p.totene - total) <= tol
    assert f"{m.nbasis:6d} basis functions," in text
    assert f"{m.nae:6d} alpha electrons{m.nbe:9d} beta electrons" in text
    assert f"Charge = {m.totchg:2d} Multiplicity = {m.multiplicity}" in text
    for spin, ours in last_eigenvalues(text.splitlines()).items():
        np.testing.assert_allclose(ours, (m.aoene if spin == "Alpha" else m.boene)[: len(ours)], rtol=0, atol=5.01e-6)


@pytest.mark.parametrize("chkfile", WITH_FCHK, ids=key)
def test_parsed_values_agree_with_formchk(chkfile):
    m = reader(chkfile).params.mol
    _, ref = read_fchk(twin(chkfile))
    counts = [
        "Number of atoms",
        "Charge",
        "Multiplicity",
        "Number of electrons",
        "Number of alpha electrons",
        "Number of beta electrons",
        "Number of basis functions",
        "Number of independent functions",
    ]
    assert [m.natoms, m.totchg, m.multiplicity, m.ne, m.nae, m.nbe, m.nbasis, m.nbsuse] == [
        scalar(ref, c) for c in counts
    ]
    assert m.atomicnums == numbers(ref, "Atomic numbers").tolist()
    np.testing.assert_array_equal(m.nucchg, numbers(ref, "Nuclear charges"))
    np.testing.assert_allclose(
        m.coords.ravel() / BOHR, numbers(ref, "Current cartesian coordinates"), rtol=0, atol=1e-6
    )
    for ours, label in [(m.aoene, "Alpha Orbital Energies"), (m.amocoeff, "Alpha MO coefficients")]:
        np.testing.assert_allclose(ours, numbers(ref, label), rtol=1e-7, atol=1e-12)
    assert m.shelltypes == numbers(ref, "Shell types").tolist()
    assert m.shellnprim == numbers(ref, "Number of primitives per shell").tolist()
    assert m.shell2map == numbers(ref, "Shell to atom map").tolist()
    assert fmt(m.primexp) == e16(ref, "Primitive exponents")
    assert fmt(m.concoeff) == e16(ref, "Contraction coefficients")
    sp = "P(S=P) Contraction coefficients"
    assert fmt(m.spconcoeff) == (e16(ref, sp) if sp in ref else [])
    np.testing.assert_allclose(m.cshell.ravel() / BOHR, numbers(ref, "Coordinates of each shell"), rtol=0, atol=1e-6)
    fc = "Cartesian Force Constants"
    assert m.hessian.shape == ((3 * m.natoms,) * 2 if fc in ref else (0, 0))
    if fc in ref:
        h = m.hessian
        assert fmt(h[r, c] for r in range(len(h)) for c in range(r + 1)) == e16(ref, fc)
    for slot, label in [(0, "Total SCF Density"), (2, "Total MP2 Density")]:
        assert fmt(m.totdens[slot]) == (e16(ref, label) if label in ref else [])
