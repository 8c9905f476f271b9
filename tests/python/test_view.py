"""The pictures of a checkpoint: the notebook's table, and the 3-D view as a page and as a command."""

import re
import sys
from pathlib import Path

import pytest
import tesvarin
from tesvarin.cli.main import main

from tests.python.chk_builder import LABEL, complete_water, label_record, water

pytest.importorskip("plotly", reason="plotly is in the test extras (the view extra)")

ROOT = Path(__file__).resolve().parents[2]
EXAMPLE = ROOT / "examples" / "water.chk"
KEPT = "<html>kept</html>"


def status_of(argv):
    """The exit status of the command, a usage error's included."""
    try:
        return main(argv)
    except SystemExit as end:
        return end.code


def traces(page):
    """(type, isovalue or None) of each trace of a view."""
    return [(t.type, t.isomin if t.type == "isosurface" else None) for t in page.figure.data]


@pytest.mark.parametrize(
    "options, surfaces",
    [
        ({}, [0.02, -0.02]),  # the HOMO: a positive and a negative lobe
        ({"orbital": 6, "isovalue": 0.05}, [0.05, -0.05]),  # the LUMO by its number, counted from 1
        ({"density": "scf"}, [0.001]),  # a density is positive: one surface
        ({"density": "spin:orbitals", "isovalue": 0.01}, [0.01]),  # zero everywhere for a closed shell
    ],
)
def test_the_view_draws_one_surface_per_sign_and_the_molecule(options, surfaces):
    page = tesvarin.load(EXAMPLE).view(**options)
    found = traces(page)
    assert [level for kind, level in found if kind == "isosurface"] == pytest.approx(surfaces)
    # the two O-H bonds the file stores as one line trace, then the three atoms
    assert [kind for kind, _ in found][-2:] == ["scatter3d", "scatter3d"]
    assert len(page.figure.data[-1].x) == 3 and page.figure.data[-2].mode == "lines"


def test_the_page_is_self_contained():
    page = tesvarin.load(EXAMPLE).view().html
    assert page.startswith("<!doctype html>") and "<title>water.chk: H2O RHF/STO-3G, orbital homo (number 5)" in page
    # plotly inlined: no script, style or link is fetched from anywhere
    assert not re.search(r"<(script|link|img)[^>]+(src|href)=", page)
    assert "Plotly.newPlot" in page and len(page) > 3_000_000


def test_a_grid_too_large_for_memory_is_refused_with_the_cube_s_words(monkeypatch, tmp_path, capsys):
    monkeypatch.setattr("tesvarin.grid.memory._memory", lambda: 2**30)
    with pytest.raises(ValueError) as refused:
        tesvarin.load(EXAMPLE).view(grid=400)  # the values, their coordinates and the page: 4 doubles a point
    assert str(refused.value) == (
        "64,000,000 grid points need 1.9 GiB of values, more than this machine's 1.0 GiB; "
        "a coarser grid or a smaller margin needs less"
    )
    assert status_of(["cube", str(EXAMPLE), "--grid", "600", "-o", str(tmp_path / "c.cube")]) == 2
    assert "600 per side: 216,000,000 grid points need 1.6 GiB of values" in capsys.readouterr().err
    assert not list(tmp_path.iterdir())


@pytest.fixture
def files(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    complete_water().write(tmp_path / "bare.chk")  # a job with all but orbitals and densities
    (tmp_path / "water.chk").write_bytes(EXAMPLE.read_bytes())
    (tmp_path / "old.html").write_text(KEPT)
    return tmp_path


# argv; exit status; standard error ("" for none); the page written (None: none)
@pytest.mark.parametrize(
    "argv, status, error, written",
    [
        ("view water.chk", 0, "", "water.html"),
        ("view water.chk --density scf --grid 20 -o d.html", 0, "", "d.html"),
        ("view water.chk -o old.html --force", 0, "", "old.html"),
        ("view water.chk -o pages/", 0, "", "pages/water.html"),
        ("view bare.chk -o v.html", 1, "tesvarin: bare.chk: the checkpoint holds no orbitals", None),
        (
            "view water.chk --orbital homo+x -o v.html",
            1,
            "tesvarin: water.chk: 'homo+x' names no orbital: use homo, lumo, homo-1, lumo+1, 12, a12, b12 or 10-15",
            None,
        ),
        (
            "view water.chk --orbital 5,6 -o v.html",
            1,
            "tesvarin: water.chk: a view shows one orbital; '5,6' names 2",
            None,
        ),
        ("view water.chk --density mp2 -o v.html", 1, "tesvarin: water.chk: the checkpoint holds no MP2 density", None),
        ("view water.chk -o old.html", 1, "tesvarin: old.html: exists; use --force to replace it", None),
        (
            "view water.chk -o water.chk --force",
            1,
            "tesvarin: water.chk: is one of the inputs; it is never replaced",
            None,
        ),
        ("view water.chk --isovalue -1", 2, "argument --isovalue: a positive number, not '-1'", None),
    ],
)
def test_the_command_writes_the_page_or_says_why_not_in_one_line(files, capsys, argv, status, error, written):
    assert status_of(argv.split()) == status
    out, err = capsys.readouterr()
    assert (err.splitlines()[-1] if err else "").endswith(error) if status == 2 else err.startswith(error)
    if status == 1:
        assert len(err.splitlines()) == 1
    if written:
        assert out.strip() == written and (files / written).read_text().startswith("<!doctype html>")
    assert (files / "old.html").read_text() == KEPT or written == "old.html"
    assert (files / "water.chk").read_bytes() == EXAMPLE.read_bytes()
    assert not list(files.glob(".*.tmp")) and (written or not (files / "v.html").exists())


def test_without_plotly_the_command_names_the_extra(files, capsys, monkeypatch):
    monkeypatch.setitem(sys.modules, "plotly.graph_objects", None)
    assert main(["view", "water.chk", "-o", "v.html"]) == 1
    assert re.fullmatch(
        r'tesvarin: water.chk: the view needs plotly: pip install "[^"]+\[view\]"\n', capsys.readouterr().err
    )


def table(cp):
    """The notebook table's rows as {header: cell}, and its caption."""
    text = cp._repr_html_()
    rows = dict(re.findall(r"<th[^>]*>([^<]*)</th><td[^>]*>([^<]*)</td>", text))
    return re.search(r"<caption>(.*)</caption>", text)[1], rows


@pytest.mark.filterwarnings("ignore::tesvarin.ChkWarning")  # the builder's small water has short sections
@pytest.mark.parametrize(
    "make, sections, holds",
    [
        (EXAMPLE.read_bytes, None, "7 restricted orbitals, densities SCF"),
        (EXAMPLE.read_bytes, [], "orbitals (not read), densities (not read), Hessian (not read)"),
        (lambda: water().build(), None, "the molecule and its basis only"),
        (lambda: complete_water().build(), None, "3 vibrational modes, 2 excited states, trajectory of 2 geometries"),
    ],
)
def test_the_notebook_table_says_what_the_file_holds(tmp_path, make, sections, holds):
    path = tmp_path / "f.chk"
    path.write_bytes(make())
    caption, rows = table(tesvarin.load(path, sections=sections))
    assert rows["holds"] == holds
    assert rows["molecule"] == "H2O (3 atoms), charge 0, multiplicity 1" and caption.startswith("f.chk: ")


@pytest.mark.filterwarnings("ignore::tesvarin.ChkWarning")
def test_the_notebook_table_escapes_the_title(tmp_path):
    chk = water().replace(LABEL, label_record("<script>alert(1)</script> & co", "#p HF/STO-3G"))
    chk.write(tmp_path / "t.chk")
    text = tesvarin.load(tmp_path / "t.chk")._repr_html_()
    assert "<script>" not in text and "&lt;script&gt;alert(1)&lt;/script&gt; &amp; co" in text
