"""The job's small records: label, info, version, switches, the general array and the orientation."""

from __future__ import annotations

from .container import ints, padded, reals, word_align


def label_record(
    title: str = "Test job", route: str = "#p HF/STO-3G", tokens: bytes = b"\x07", flag: int = -12345
) -> bytes:
    return ints(flag, 0, 0, 0) + padded(title, 800) + padded(route, 32000) + tokens


def info_record(itype: int = 0, ipf: int = 0, slot5: int = 0, text: bytes | str = b"HF\\STO-3G\\") -> bytes:
    info = [0] * 9
    info[4], info[5], info[6] = ipf, slot5, itype
    return ints(*info) + padded(text, 1528)


def version_record(text: str) -> bytes:
    return word_align(text.encode())


def xlsw(ilsw: dict[int, int] | None = None, rlsw: list[float] | None = None, words: int = 200) -> bytes:
    switches = [0] * 100
    rlsw = rlsw or []
    switches[57] = len(rlsw)
    for k, v in (ilsw or {}).items():
        switches[k] = v
    data = ints(*switches) + reals(*rlsw)
    return data + b"\0" * (8 * words - len(data)) if words * 8 >= len(data) else data[: 8 * words]


def gen(values: dict[int, float]) -> bytes:
    arr = [0.0] * 1000
    for k, v in values.items():
        arr[k] = v
    return reals(*arr)


def orient_record(rot_columns: list[float], trans: tuple[float, float, float]) -> bytes:
    return ints(*[0] * 26) + reals(*rot_columns) + reals(*trans)


QUARTER_Z = [0.0, 1.0, 0.0, -1.0, 0.0, 0.0, 0.0, 0.0, 1.0]  # quarter turn about z, column by column
