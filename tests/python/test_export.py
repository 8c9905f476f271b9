"""tesvarin export: a folder of checkpoints into one table, QCSchema records, the same on a Dask cluster."""

import json
import os
import pickle
import re
import signal
import subprocess
import sys
import time
import warnings
from pathlib import Path

import numpy as np
import pytest
import tesvarin
from tesvarin.checkpoint import SECTIONS

from tests.python.chk_builder import (
    CHARGES,
    DENSITIES,
    FORCE_CONST,
    LABEL,
    complete_water,
    densities,
    label_record,
    reals,
    water,
)
from tests.python.real_files import CHKS, REAL, SHARED, expected_error

pq = pytest.importorskip("pyarrow.parquet")
pa = pytest.importorskip("pyarrow")
from tesvarin import export  # noqa: E402  (needs pyarrow)

NON_CHECKPOINTS = ("cut.chk", "notes.chk", "empty.chk")


def run(*args, cwd):
    done = subprocess.run(
        [sys.executable, "-m", "tesvarin", "export", *map(str, args)], capture_output=True, text=True, cwd=cwd
    )
    return done.returncode, done.stdout, done.stderr


def build(folder: Path, count: int, start: int = 0) -> None:
    """`count` checkpoints: complete files and plain ones, each with its own title and geometry."""
    for k in range(start, start + count):
        chk = complete_water() if k % 2 else water()
        chk.replace(LABEL, label_record(f"job {k}", "#p HF/STO-3G"))
        (folder / f"sub{k % 3}").mkdir(exist_ok=True)
        chk.write(folder / f"sub{k % 3}" / f"m{k:03d}.chk")


@pytest.fixture(scope="module")
def folder(tmp_path_factory):
    """240 builder checkpoints in three subfolders, one with a damaged section, three that are no checkpoint."""
    root = tmp_path_factory.mktemp("many")
    build(root, 240)
    complete_water().replace(CHARGES, reals(1.0, 2.0)).write(root / "damaged_section.chk")
    (root / "cut.chk").write_bytes(water().build()[:4096])
    (root / "notes.chk").write_text("not a checkpoint at all\n")
    (root / "empty.chk").write_bytes(b"")
    (root / "ignored.txt").write_text("not searched: no .chk suffix")
    return root


def expected(cp):
    """What each column should hold, from the Checkpoint of that file."""
    flat = {
        name: None if getattr(cp, name) is None else np.ravel(getattr(cp, name)).tolist()
        for name in (
            "coordinates",
            "gradient",
            "dipole_moment",
            "quadrupole_moment",
            "mulliken_charges",
            "npa_charges",
            "frequencies",
        )
    }
    return {
        "title": cp.title,
        "route": cp.route,
        "method": cp.method,
        "basis": cp.basis_name,
        "job_type": cp.job_type,
        "program_version": cp.program_version,
        "charge": cp.charge,
        "multiplicity": cp.multiplicity,
        "n_atoms": len(cp.symbols),
        "n_basis": cp.n_basis,
        "n_electrons": cp.n_electrons,
        "n_alpha": cp.n_alpha,
        "n_beta": cp.n_beta,
        "energy": cp.energy,
        "scf_energy": cp.scf_energy,
        "atomic_numbers": cp.atomic_numbers.tolist(),
        **flat,
    }


def test_every_real_checkpoint_a_text_and_an_empty_file_are_a_row_each(tmp_path):
    """No file ends the table, whatever fails in it; an atom's frequency job has its thermochemistry."""
    folders = sorted(p for p in SHARED.glob("realchk*") if p.is_dir())
    if not folders:
        pytest.skip(f"no real checkpoint folders under {SHARED}")
    (tmp_path / "notes.chk").write_text("not a checkpoint at all\n")
    (tmp_path / "empty.chk").write_bytes(b"")
    status, out, err = run(
        *folders, tmp_path / "notes.chk", tmp_path / "empty.chk", "-o", tmp_path / "a.parquet", cwd=tmp_path
    )
    rows = pq.read_table(tmp_path / "a.parquet").to_pylist()
    assert len(rows) == len([p for f in folders for p in f.rglob("*.chk")]) + 2, err
    failed = {Path(r["path"]) for r in rows if r["error"] is not None}
    assert failed == {tmp_path / "notes.chk", tmp_path / "empty.chk"} | {p for p in CHKS if expected_error(p)}
    assert status == 1 and out.splitlines()[-1] == f"{len(rows) - len(failed)} written, {len(failed)} failed"
    atom = [r for r in rows if r["path"].endswith("O_triplet_um062x.chk")]
    assert all(r["zero_point_energy"] == 0.0 and r["gibbs_free_energy"] < r["energy"] for r in atom)


def test_a_folder_and_the_real_files_into_one_table(folder, tmp_path):
    real = [p for p in CHKS]
    status, out, err = run(folder, *real, "-o", tmp_path / "all.parquet", "-j", "2", cwd=tmp_path)
    failing_real = [p for p in real if expected_error(p)]
    assert (
        status == 1
        and out.splitlines()[-1] == f"{241 + len(real) - len(failing_real)} written, {3 + len(failing_real)} failed"
    ), err
    table = pq.read_table(tmp_path / "all.parquet")
    assert table.schema.metadata[b"tesvarin.schema"] == b"2" and "ignored.txt" not in str(table["path"])
    rows = table.to_pylist()
    by_name, by_path = {Path(r["path"]).name: r for r in rows}, {r["path"]: r for r in rows}
    failed = {r["path"] for r in rows if r["error"] is not None}
    assert failed == {str(folder / name) for name in NON_CHECKPOINTS} | {str(p) for p in failing_real}
    for path in failed:  # the reason load() gives, in the same words
        with pytest.raises(tesvarin.ChkError) as info:
            tesvarin.load(path)
        assert str(info.value) == f"{path}: {by_path[path]['error']}" and by_path[path]["energy"] is None
        assert (by_path[path]["size"], by_path[path]["mtime_ns"]) == (os.stat(path).st_size, os.stat(path).st_mtime_ns)
    assert "Section 605" in by_name["damaged_section.chk"]["warnings"][0]
    with pytest.warns(tesvarin.ChkWarning):
        assert by_name["damaged_section.chk"]["mulliken_charges"] is None
        tesvarin.load(folder / "damaged_section.chk")
    if not REAL.is_dir():
        pytest.skip(f"the folder's rows pass; no real checkpoints under {REAL} for the thermochemistry columns")
    warnings.simplefilter("ignore", tesvarin.ChkWarning)  # the real files' damaged sections: their rows' `warnings`
    # The program's own thermochemistry; its 09 files hold force constants only, which --with hessian reads.
    run(
        REAL / "g09-freq",
        "--columns",
        "frequencies,zero_point_energy,enthalpy,gibbs_free_energy",
        "--with",
        "hessian",
        "-o",
        tmp_path / "thermo.parquet",
        cwd=tmp_path,
    )
    with_hessian = {r["path"]: r for r in pq.read_table(tmp_path / "thermo.parquet").to_pylist()}
    assert all(by_path[p]["zero_point_energy"] is None for p in with_hessian if by_path[p]["frequencies"] is None)
    printed = 0
    for log in sorted(REAL.glob("*/*.log")):
        row = with_hessian.get(str(log.with_suffix(".chk")))
        found = re.findall(
            r"(Zero-point correction|thermal Enthalpies|thermal Free Energies)=\s+(-?[\d.]+)",
            log.read_text(errors="replace"),
        )
        if row is None or row["error"] is not None or len(found) != 3:
            continue
        got = (row["zero_point_energy"], row["enthalpy"], row["gibbs_free_energy"])
        np.testing.assert_allclose(got, [float(v) for _, v in found], atol=1.5e-6, err_msg=str(log))
        printed += 1
    assert printed >= 5 or not CHKS
    for row in rows:
        if row["error"] is None:
            cp = tesvarin.load(row["path"], sections=())  # as the default columns read it: no force constants
            assert {k: row[k] for k in expected(cp)} == expected(cp), row["path"]
            assert row["size"] == os.path.getsize(row["path"])


def test_resume_adds_only_new_and_changed_files(tmp_path):
    build(tmp_path, 6)
    out = tmp_path / "out.parquet"
    assert run(tmp_path, "-o", out, cwd=tmp_path)[1].splitlines()[-1] == "6 written, 0 failed"
    build(tmp_path, 2, start=6)
    changed = tmp_path / "sub0" / "m000.chk"
    complete_water().write(changed)  # another content, size and time: its row is replaced
    status, stdout, _ = run(tmp_path, "--resume", "-o", out, cwd=tmp_path)
    assert status == 0 and stdout.splitlines()[-1] == "3 written, 0 failed"
    rows = pq.read_table(out).to_pylist()
    assert sorted(Path(r["path"]).name for r in rows) == [f"m{k:03d}.chk" for k in range(8)]
    assert next(r for r in rows if r["path"] == str(changed))["title"] == "water test"
    assert run(tmp_path, "--resume", "--with", "hessian", "-o", out, cwd=tmp_path)[0] == 2  # other columns
    (tmp_path / "notes.txt").write_text("not a table")
    status, _, err = run(tmp_path, "--resume", "-o", tmp_path / "notes.txt", cwd=tmp_path)
    assert status == 2 and "is no table of this export's columns" in err
    assert (tmp_path / "notes.txt").read_text() == "not a table"
    # With the records on standard output, the closing line goes to standard error.
    status, stdout, err = run(tmp_path, "--format", "qcschema", "-o", "-", cwd=tmp_path)
    assert status == 0 and len([json.loads(line) for line in stdout.splitlines()]) == 8
    assert err.splitlines()[-1] == "8 written, 0 failed"


def test_worker_processes_give_the_same_rows_in_the_same_order(folder, tmp_path, monkeypatch):
    one, three = tmp_path / "one.parquet", tmp_path / "three.parquet"
    assert run(folder, "-o", one, cwd=tmp_path)[1].splitlines()[-1] == "241 written, 3 failed"
    assert run(folder, "-o", three, "-j", "3", cwd=tmp_path)[1].splitlines()[-1] == "241 written, 3 failed"
    assert pq.read_table(three).equals(pq.read_table(one))
    paths = list(export.find_checkpoints([str(folder)])) * 3  # more than a chunk per reader
    columns = export.select(["energy", "coordinates"], ["hessian"])
    alone = export.table(list(export.read_rows(paths, columns)), columns)
    monkeypatch.setattr("tesvarin.export.rows.ROW_GROUP_ROWS", 100)
    monkeypatch.setattr("tesvarin.export.rows.CHUNK_FILES", 16)  # six chunks fill a row group
    for processes in (1, 2, 4):
        parts = list(export.read_tables(iter(paths), columns, processes))  # of unknown length
        assert pa.concat_tables(parts).equals(alone)
        assert max(t.num_rows for t in parts) == (100 if processes == 1 else 96)


@pytest.mark.parametrize("jobs", ["1", "2"])
def test_an_interrupted_export_leaves_no_output(folder, tmp_path, jobs):
    listing = tmp_path / "list.txt"
    listing.write_text("\n".join([str(p) for p in sorted(folder.rglob("m*.chk"))] * 100))
    process = subprocess.Popen(
        [sys.executable, "-m", "tesvarin", "export", "--from-list", listing, "-o", "out.parquet", "-j", jobs],
        cwd=tmp_path,
        stdout=subprocess.PIPE,
        stderr=subprocess.PIPE,
    )
    deadline = time.monotonic() + 60
    while not list(tmp_path.glob(".out.parquet.*")) and time.monotonic() < deadline:
        time.sleep(0.02)
    process.send_signal(signal.SIGINT)
    assert process.wait(60) == 128 + signal.SIGINT, process.communicate()
    assert sorted(p.name for p in tmp_path.iterdir()) == ["list.txt"]


@pytest.mark.parametrize(
    "argv, message",
    [
        (["--with", "nothing"], "unknown --with nothing"),
        (["--columns", "energy,colour"], "unknown column colour"),
        (["--format", "qcschema", "--columns", "energy"], "takes none of"),
    ],
)
def test_usage_errors(folder, tmp_path, argv, message):
    status, _, err = run(folder, "-o", tmp_path / "x.out", *argv, cwd=tmp_path)
    assert status == 2 and message in err and not (tmp_path / "x.out").exists()


def test_selected_and_large_columns(tmp_path):
    path = complete_water().write(tmp_path / "w.chk")
    run(path, "--columns", "energy", "--with", "hessian,orbitals,hash", "-o", tmp_path / "o.parquet", cwd=tmp_path)
    row = pq.read_table(tmp_path / "o.parquet").to_pylist()[0]
    cp = tesvarin.load(path)
    assert list(row) == [
        "path",
        "size",
        "mtime_ns",
        "error",
        "warnings",
        "sha256",
        "energy",
        "hessian",
        "alpha_orbital_energies",
        "beta_orbital_energies",
        "alpha_mo_coefficients",
        "beta_mo_coefficients",
    ]
    import hashlib

    assert row["sha256"] == hashlib.sha256(Path(path).read_bytes()).hexdigest()
    assert row["beta_mo_coefficients"] is None and row["hessian"] == (
        None if cp.hessian is None else cp.hessian.ravel().tolist()
    )


QC = [p for p in CHKS if not expected_error(p)]


@pytest.mark.parametrize("path", QC, ids=lambda p: f"{p.parent.name}/{p.stem}")
def test_qcschema_records_validate_and_load_back_in_iodata(path, tmp_path):
    models = pytest.importorskip("qcelemental.models")
    iodata = pytest.importorskip("iodata")
    cp = tesvarin.load(path)
    record = cp.to_qcschema(wavefunction=cp.alpha_mo_coefficients is not None and cp.n_basis < 400)
    if record["schema_name"] == "qcschema_optimization_output":
        models.OptimizationResult(**record)
        assert len(record["trajectory"]) == len(cp.trajectory_energies)
        molecule = record["final_molecule"]
    else:
        models.AtomicResult(**json.loads(json.dumps(record)))
        molecule = record
    (tmp_path / "m.json").write_text(json.dumps(molecule))
    with warnings.catch_warnings():
        warnings.simplefilter("error", iodata.utils.LoadWarning)
        back = iodata.load_one(tmp_path / "m.json", fmt="json_qcschema")
    assert back.atnums.tolist() == cp.atomic_numbers.tolist() and back.charge == cp.charge
    np.testing.assert_allclose(back.atcoords, cp.coordinates, atol=1e-12)


@pytest.mark.parametrize("l", range(5))
@pytest.mark.parametrize("kind", ["c", "p"])
def test_qcschema_basis_order_is_cca(l, kind):
    fchk = pytest.importorskip("iodata.formats.fchk")
    from iodata.convert import CCA_CONVENTIONS
    from tesvarin.export.qcschema import shell_order

    if kind == "p" and l < 2:
        pytest.skip("s and p shells are Cartesian")
    stored = fchk.CONVENTIONS[(l, kind)]
    assert [stored[i] for i in shell_order(l if kind == "c" else -l)] == CCA_CONVENTIONS[(l, kind)]


def test_checkpoint_pickles_by_path(tmp_path):
    cp = tesvarin.load(complete_water().write(tmp_path / "w.chk"))
    again = pickle.loads(pickle.dumps(cp))
    assert again.path == cp.path and np.array_equal(again.coordinates, cp.coordinates)


def test_on_a_dask_cluster_of_two_processes(folder, tmp_path):
    distributed = pytest.importorskip("distributed")
    import tesvarin.dask

    local = tmp_path / "local.parquet"
    run(folder, "-o", local, cwd=tmp_path)
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=":0") as cluster:
        status, out, err = run(
            folder,
            "--scheduler",
            cluster.scheduler_address,
            "--chunk-size",
            "16",
            "-o",
            tmp_path / "dask.parquet",
            cwd=tmp_path,
        )
        assert status == 1 and out.splitlines()[-1] == "241 written, 3 failed", err
        assert pq.read_table(tmp_path / "dask.parquet").equals(pq.read_table(local))
        run(folder, "--scheduler", cluster.scheduler_address, "-o", f"{tmp_path}/parts/", cwd=tmp_path)
        assert pq.read_table(tmp_path / "parts").equals(pq.read_table(local))
        with distributed.Client(cluster):
            frame = tesvarin.dask.read_checkpoints([folder], chunk_size=50).compute()
    assert frame.reset_index(drop=True).equals(
        pq.read_table(local).to_pandas(types_mapper=__import__("pandas").ArrowDtype)
    )


# What each large section holds, as load documents it (the package's own table must say the same).
UNREAD = {
    "orbitals": ["alpha_orbital_energies", "beta_orbital_energies", "alpha_mo_coefficients", "beta_mo_coefficients"]
    + ["alpha_occupations", "beta_occupations", "orthonormal_basis"],
    "hessian": ["hessian"],
    "densities": ["total_densities", "spin_densities"],
}


@pytest.mark.parametrize(
    "sections",
    [[], ["orbitals"], ["hessian"], ["densities"], ["hessian", "densities"], ["orbitals", "hessian", "densities"]],
)
def test_load_reads_only_the_sections_asked_for(tmp_path, sections):
    chk = complete_water().add(DENSITIES, densities(1, *np.linspace(0.1, 0.6, 6)))
    path = chk.add(FORCE_CONST, reals(*np.linspace(-1.0, 1.0, 45))).write(tmp_path / "w.chk")
    whole, part = tesvarin.load(path), tesvarin.load(path, sections=sections)
    assert part.sections == set(sections) and part.energy == whole.energy and part.method == whole.method
    assert {section: list(names) for section, names in SECTIONS.items()} == UNREAD
    for section, names in UNREAD.items():
        for name in names:
            if section in sections:
                assert repr(getattr(part, name)) == repr(getattr(whole, name))
            else:
                with pytest.raises(tesvarin.NotReadError, match=f"{name} was not read.*add '{section}'"):
                    getattr(part, name)
    assert pickle.loads(pickle.dumps(part)).sections == part.sections
    computations = [
        ({"hessian"}, lambda: part.harmonic_analysis()),
        ({"hessian"}, lambda: part.thermochemistry(masses={0: 18.0})),  # new masses: the force constants again
        ({"orbitals", "densities"}, lambda: part.evaluate([[0.0, 0, 0]])),
        ({"orbitals", "densities"}, lambda: part.cube("density", grid="coarse")),
    ]
    for needed, compute in computations:
        if not needed <= set(sections):
            with pytest.raises(tesvarin.NotReadError, match=f"add '({'|'.join(needed - set(sections))})'"):
                compute()
    if len(sections) < 3:
        with pytest.raises(ValueError, match="read it whole to write an fchk"):
            part.reader.write_fchk(str(tmp_path / "w.fchk"))
        assert not (tmp_path / "w.fchk").exists()


def rchar():
    """Bytes this process has read through read(2) and its kin, page cache included."""
    return int(next(line for line in open("/proc/self/io") if line.startswith("rchar")).split()[1])


@pytest.mark.skipif(not os.path.exists("/proc/self/io"), reason="needs Linux's /proc/self/io")
@pytest.mark.filterwarnings("ignore::tesvarin.ChkWarning")
def test_a_scan_leaves_the_big_sections_on_disk(tmp_path):
    from tests.python.chk_builder import ALPHA_MO, DENSITIES, FORCE_CONST, ORBENE, Atom, Shell, ints, molecule

    atoms = [Atom(1, (2.0 * k, 0.0, 0.0)) for k in range(10)]
    shells = [Shell(0, k // 40 + 1, [1.0], coefs=[1.0], centre=atoms[k // 40].xyz) for k in range(400)]
    chk = molecule(atoms, shells, nbasis=400).add(ORBENE, reals(*range(400)))
    chk.add(ALPHA_MO, reals(*np.linspace(-1, 1, 400 * 400))).add(DENSITIES, ints(1) + reals(*[0.1] * (400 * 401 // 2)))
    chk.add(FORCE_CONST, reals(*[0.2] * (30 * 31 // 2)))
    path = chk.write(tmp_path / "big.chk")
    size = os.path.getsize(path)
    before = rchar()
    cp = tesvarin.load(path, sections=())
    scan, before = rchar() - before, rchar()
    assert tesvarin.load(path).alpha_mo_coefficients.shape == (400, 400) and rchar() - before > 0.6 * size
    assert scan < 0.1 * size and cp.n_basis == 400  # the basis of 400 shells is most of what it reads


@pytest.mark.parametrize(
    "missing, argv, extra",
    [
        ("pyarrow", [], "export"),
        ("distributed", ["--dask"], "dask"),
    ],
)
def test_a_missing_dependency_names_its_extra(tmp_path, missing, argv, extra):
    code = (
        f"import sys; sys.modules[{missing!r}] = None; from tesvarin.cli import main; "
        f"sys.exit(main(['export', 'x.chk', '-o', 'o.parquet', *{argv!r}]))"
    )
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, cwd=tmp_path)
    clone = Path(__file__).resolve().parents[2]  # the command that works from this clone, run elsewhere
    assert done.returncode == 1 and f'pip install "{clone}[{extra}]"' in done.stderr, done.stderr
    assert "Traceback" not in done.stderr
    assert not (tmp_path / "o.parquet").exists()
