"""Writes the fuzzer's seed corpus: small synthetic checkpoints made with the test builder.

One file per family the readers tell apart: closed and open shell, real and complex
orbitals, every density kind, the orientation record, periodic cells, the Hessian,
S, P, SP, D, F and G shells pure and Cartesian, every molecule layout, the job
records, and every further section of the complete fchk. Most seeds leave out the 32 KB label
record so that the fuzzer runs fast; a few carry it.

    python -m tools.fuzz.make_corpus [OUT_DIR]   # default tools/fuzz/corpus
"""

import sys
from pathlib import Path

from tests.python import chk_builder as cb

ROOT = Path(__file__).resolve().parents[2]

WATER = [cb.Atom(8, (0.0, 0.0, 0.2)), cb.Atom(1, (0.0, 1.4, -0.9)), cb.Atom(1, (0.0, -1.4, -0.9))]
H2 = [cb.Atom(1, (0.0, 0.0, 0.0)), cb.Atom(1, (0.0, 0.0, 1.4))]


def basis(atoms, cartd=1, cartf=1):
    """S and SP on the first atom, D, F and G there too, an S shell on each other atom."""
    c = atoms[0].xyz
    shells = [
        cb.Shell(0, 1, [130.7, 23.8, 6.4], coefs=[0.15, 0.53, 0.44], centre=c),
        cb.Shell(1, 1, [5.0, 1.2, 0.38], coefs=[-0.1, 0.4, 0.7], coefp=[0.16, 0.6, 0.39], centre=c),
        cb.Shell(1, 1, [0.9], coefp=[1.0], cons=1, centre=c),
        cb.Shell(2, 1, [0.8, 0.2], coefd=[0.5, 0.6], centre=c),
        cb.Shell(3, 1, [0.6], coefd=[1.0], centre=c),
        cb.Shell(4, 1, [0.5], coefd=[1.0], centre=c),
    ]
    shells += [cb.Shell(0, i + 2, [3.4, 0.6], coefs=[0.4, 0.7], centre=a.xyz) for i, a in enumerate(atoms[1:])]
    return cb.basis_section(shells, cartd=cartd, cartf=cartf)


def nfunctions(cartd, cartf):
    return 1 + 4 + 3 + (6 if cartd else 5) + (10 if cartf else 7) + (15 if cartf else 9) + 2


def orbitals(chk, nbasis, iopcl):
    spin, kind, comp = (iopcl & 1) + 1, ((iopcl >> 1) & 1) + 1, ((iopcl >> 2) & 1) + 1
    nmo = nbasis * comp
    ncoef = kind * comp * nbasis * nmo
    chk.add(cb.ORBENE, cb.reals(*[-1.0 + 0.1 * i for i in range(nmo * spin)]))
    chk.add(cb.ALPHA_MO, cb.reals(*[0.01 * (i % 17) for i in range(ncoef)]))
    if spin == 2:
        chk.add(cb.BETA_MO, cb.reals(*[0.02 * (i % 13) for i in range(ncoef)]))
    return spin, kind, comp


def densities(chk, nbasis, spin, kind, comp, mask):
    n = nbasis * comp
    per_kind = kind * n * (n + 1) // 2 * spin
    kinds = bin(mask).count("1")
    chk.add(cb.DENSITIES, cb.densities(mask, *[0.001 * (i % 29) for i in range(per_kind * kinds)]))


def job(
    atoms, *, label=False, records=False, cartd=1, cartf=1, iopcl=0, mask=1, ilsw=None, with_basis=True, mos=True, **mol
):
    """`records` adds the general array and the info and version records (10 KB that slow the fuzzer)."""
    nbasis = nfunctions(cartd, cartf) if with_basis else 2
    chk = cb.Chk()
    if records or label:
        chk.add(cb.GEN, cb.gen({0: 2.0, 22: 1e-9, 31: -75.0, 42: -75.1})).add(cb.INFO, cb.info_record())
        chk.add(cb.VERSION, cb.version_record("ES64L-G16RevC.01 1-Jan-2019"))
    if label:
        chk.add(cb.LABEL, cb.label_record("seed", "#p HF/gen", b"1|O|S|2|O|PX|3|H|S|\x07"))
    chk.add(cb.MOL, cb.mol_section(atoms, nbasis=nbasis, **mol))
    if with_basis:
        chk.add(cb.BASIS, basis(atoms, cartd, cartf))
    spin, kind, comp = orbitals(chk, nbasis, iopcl) if mos else (1, 1, 1)
    if mask:
        densities(chk, nbasis, spin, kind, comp, mask)
    return chk.add(cb.XLSW, cb.xlsw({0: iopcl, 21: 0, **(ilsw or {})}))


def filled_to(chk, words, **overrides):
    """`chk` with a section nothing reads in front, so that the file is `words` long."""
    used = len(chk.build()) // 8 + 4
    chk.sections.insert(0, (1, b"\0" * (8 * (words - used))))
    return chk.build(**overrides)


def amplifiers():
    """64 KiB files whose counts ask for many times their size: the reader must refuse them
    before it holds more than four times the file (the harness checks the heap peak)."""
    n, words = 127, 8192
    triangle = n * (n + 1) // 2  # about the file's words, nine times over
    dens = cb.Chk().add(cb.MOL, cb.mol_section(H2[:1], nbasis=n)).add(cb.DENSITIES, cb.densities(0x1FF))
    yield "amplify_densities", filled_to(dens, words, end_delta={cb.DENSITIES: 9 * triangle})
    basis = cb.basis_section([cb.Shell(0, 1, [1.0], coefs=[1.0])], header={0: words, 2: words, 3: words})
    yield "amplify_basis", filled_to(cb.Chk().add(cb.MOL, cb.mol_section(H2[:1])).add(cb.BASIS, basis), words)
    labels = cb.label_record("t", "#p", b"1|" * 16000)
    yield "amplify_labels", cb.Chk().add(cb.MOL, cb.mol_section(H2[:1])).add(cb.LABEL, labels).build()


def seeds():
    yield "closed_shell_cartesian", job(WATER, records=True)
    yield "closed_shell_pure", job(WATER, cartd=0, cartf=0, mos=False, mask=0)
    yield "pure_d_cartesian_f", job(WATER, cartd=0, cartf=1, mos=False, mask=0)
    yield "open_shell", job(WATER, cartd=0, cartf=0, iopcl=1, mult=3, mask=0b11)
    yield "open_shell_small", job(H2, with_basis=False, iopcl=1, mult=3, mask=0b11)
    yield "complex_closed", job(H2, iopcl=2, with_basis=False)
    yield "complex_open", job(H2, iopcl=3, with_basis=False, mult=3)
    yield "two_component", job(H2, iopcl=6, with_basis=False)
    yield "general_complex", job(H2, iopcl=22, with_basis=False, mask=0)
    yield "rohf", job(WATER, ilsw={21: 1}, mask=0, mos=False).add(cb.REC534, cb.ints(0))
    yield "rohf_record534", job(H2, with_basis=False, ilsw={21: 3}, mask=0).add(cb.REC534, cb.ints(0))
    for k in range(9):
        yield f"density_kind_{k}", job(H2, with_basis=False, mask=1 << k)
    yield "all_density_kinds", job(H2, with_basis=False, mask=0x1FF)
    yield "natural_orbitals", job(H2, with_basis=False, ilsw={9: 2})
    yield "with_label", job(H2, with_basis=False, label=True)
    yield "label_only", cb.Chk().add(cb.LABEL, cb.label_record()).add(cb.MOL, cb.mol_section(H2))
    rot = (cb.QUARTER_Z, (0.1, 0.2, 0.3))
    yield "orientation", job(WATER, mask=0, mos=False).add(cb.ORIENT, cb.orient_record(*rot))
    yield "orientation_kept", job(WATER, mask=0, mos=False, ilsw={25: 1}).add(cb.ORIENT, cb.orient_record(*rot))
    yield "orientation_no_basis", job(H2, with_basis=False, mask=0).add(cb.ORIENT, cb.orient_record(*rot))
    cell = [(9.0, 0.0, 0.0), (0.0, 9.5, 0.0), (0.0, 0.0, 10.0)]
    for ndim in (1, 2, 3):
        yield f"periodic_{ndim}d", job(H2, with_basis=False, mask=0, ndim=ndim, cell=cell[:ndim])
    hessian = cb.reals(*[0.1 * (i % 7) - 0.3 for i in range(9 * 10 // 2)])
    h2_hessian = cb.reals(*[0.1 * (i % 7) for i in range(6 * 7 // 2)])
    yield "hessian", job(H2, with_basis=False, mask=0).add(cb.FORCE_CONST, h2_hessian)
    yield (
        "hessian_rotated",
        job(WATER, mask=0, mos=False).add(cb.FORCE_CONST, hessian).add(cb.ORIENT, cb.orient_record(*rot)),
    )
    orth = job(H2, with_basis=False, mask=0)
    yield "orthonormal_basis", orth.add(cb.ORTH_BASIS, cb.reals(*[0.5] * 4))
    for layout, hdrlen in ((-12345, 12), (-12347, 24), (-12348, 25), (-12349, 20)):
        yield f"layout_{-layout}", job(H2, with_basis=False, mask=0, layout=layout, hdrlen=hdrlen)
    yield (
        "optimisation_job",
        job(H2, with_basis=False, mask=0, records=True).replace(cb.INFO, cb.info_record(itype=2, ipf=0)),
    )
    yield "minimal", cb.Chk().add(cb.MOL, cb.mol_section(H2[:1]))
    # Every further section of the complete fchk, valid, per molecule layout.
    for layout in (-12346, -12347, -12348, -12349):
        yield f"further_sections_{-layout}", cb.complete_water(layout).without(cb.LABEL)
    yield "further_sections_oriented", cb.complete_water(orient=cb.QUARTER_Z).without(cb.LABEL)
    yield "further_sections_with_label", cb.complete_water()
    # 16 C.01 with a trajectory in the archive section, and a core potential with terms.
    c01 = cb.complete_water(-12349).without(cb.LABEL).replace(cb.VERSION, cb.padded("ES64L-G16RevC.01", 48, b"\0"))
    steps = ([[0.0] * 7, [0.1] * 7], [[0.2] * 9] * 2, [[0.3] * 9] * 2)
    yield (
        "further_sections_trajectory",
        c01.replace(cb.OPT_ARCHIVE, cb.opt_archive_section(3, *steps, momenta=steps[1])),
    )
    # An NMR=SpinSpin job's QEq section: the four K triangles after the tensors.
    yield (
        "further_sections_spin_spin",
        cb.complete_water().without(cb.LABEL).replace(cb.QEQ, cb.qeq_section([0.1] * 18, [0.5] * 24)),
    )
    potential = cb.core_potentials_section(3, [2.0, 0.0, 0.0], terms=2)
    yield (
        "further_sections_core_potential",
        cb.complete_water().without(cb.LABEL).replace(cb.CORE_POTENTIALS, potential),
    )


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent / "corpus"
    out.mkdir(parents=True, exist_ok=True)
    for name, chk in seeds():
        chk.write(out / f"{name}.chk")
    for name, data in amplifiers():
        (out / f"{name}.chk").write_bytes(data)


if __name__ == "__main__":
    main()
