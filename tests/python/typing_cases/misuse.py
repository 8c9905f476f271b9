"""Planted misuses: mypy --strict must report every line marked "# misuse"."""

import tesvarin
from Tesvarin_ import ChkReader_

reader = ChkReader_("water.chk")
bad: str = reader.params.mol.natoms  # misuse
reader.write_gjf(3)  # misuse
cp = tesvarin.load(None)  # misuse
total: float = cp.energy + "x"  # misuse
cp.charge = 2  # misuse
results = tesvarin.load_many(["a.chk"], errors="return")
print(results[0].energy)  # misuse
tesvarin.load_many(["a.chk"], errors="ignore")  # misuse
