"""Fixtures that write `chk_builder` checkpoints into tmp_path and parse them."""

import itertools

import pytest
import Tesvarin_


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
