"""Fixtures that write `chk_builder` checkpoints into tmp_path and parse them."""

import itertools
import signal

import pytest
import tesvarin
import Tesvarin_

from tests.python.real_files import SHARED

# A suite started in the background of a non-interactive shell (`cmd &`) inherits SIGINT ignored,
# and so would every command it starts; the tests that interrupt a command need the default.
if signal.getsignal(signal.SIGINT) is signal.SIG_IGN:
    signal.signal(signal.SIGINT, signal.default_int_handler)


@pytest.fixture
def chk(tmp_path):
    """chk(builder or raw bytes, **build overrides) -> path of a new checkpoint file."""
    names = itertools.count()

    def write(data, **overrides):
        path = tmp_path / f"t{next(names)}.chk"
        path.write_bytes(data if isinstance(data, bytes) else data.build(**overrides))
        return str(path)

    return write


@pytest.fixture
def read(chk):
    """read(builder or bytes, **build overrides) -> ChkReader_ on it."""
    return lambda data, **overrides: Tesvarin_.ChkReader_(chk(data, **overrides))


@pytest.fixture
def fails(read):
    """fails(builder) -> the message of the RuntimeError its parse raises, without "Error: " and the location."""

    def run(data, **overrides):
        with pytest.raises(RuntimeError) as info:
            read(data, **overrides)
        return str(info.value).split("\n\nSource File:")[0].removeprefix("Error: ")

    return run


def _with_orbitals(path):
    """The checkpoint, or None when the reader refuses it or it holds no orbitals or basis."""
    try:
        cp = tesvarin.load(path)
    except RuntimeError:
        return None
    # A semi-empirical (ZDO) job's orbitals belong to no functions with values on points: refused there.
    return cp if cp.alpha_mo_coefficients is not None and len(cp.shell_types) and cp.basis_name != "ZDO" else None


@pytest.fixture(
    params=sorted(SHARED.glob("realchk*/*/*.chk")) or [None], ids=lambda p: f"{p.parent.name}/{p.stem}" if p else "none"
)
def real(request):
    """Each real checkpoint with orbitals, read in place."""
    if request.param is None:
        pytest.skip("no real checkpoints in ../shared/realchk*")
    cp = _with_orbitals(request.param)
    if cp is None:
        pytest.skip("a checkpoint without orbitals or that the reader refuses")
    return cp
