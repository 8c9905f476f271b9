"""Reads the numbers of a Gaussian .log file's "Thermochemistry" section, each with its printed decimals."""

import re
from pathlib import Path

NUMBER = r"-?\d+\.\d+"


def _decimals(text):
    return len(text.split(".")[1]) if "." in text else 0


def _fortran_q(text):
    """0.263789D-02 or 0.297632-109 (a three-digit exponent drops the D): mantissa digits and value."""
    match = re.fullmatch(r"(-?\d\.\d+)D?([-+]\d+)", text)
    return float(match[1]) * 10.0 ** int(match[2]), len(match[1].split(".")[1])


def thermochemistry_section(path):
    """{name: (value, decimals)} for every number of the last section; Q rows give (value, significant digits)."""
    lines = Path(path).read_text(errors="replace").splitlines()
    start = max(i for i, line in enumerate(lines) if "- Thermochemistry -" in line)
    found = {}
    i = start + 1
    while i < len(lines) and "Axes restored" not in lines[i] and "Normal termination" not in lines[i]:
        line = lines[i]
        if m := re.match(r"\s*Temperature\s+(\S+) Kelvin\.\s+Pressure\s+(\S+) Atm\.", line):
            found["temperature"] = (float(m[1]), _decimals(m[1]))
            found["pressure"] = (float(m[2]), _decimals(m[2]))
        elif m := re.match(r"\s*Atom\s+(\d+) has atomic number\s+\d+ and mass\s+(\S+)", line):
            found[f"mass {int(m[1]) - 1}"] = (float(m[2]), _decimals(m[2]))
        elif m := re.fullmatch(r" {11}([XYZ]) {9}(.*)", line):  # a row of the principal axes, F10.5 fields
            fields = [m[2][k : k + 10] for k in range(0, len(m[2]), 10) if m[2][k : k + 10].strip()]
            for k, field in enumerate(fields):
                found[f"axis {m[1]} {k}"] = (float(field), _decimals(field.strip()))
        elif m := re.match(r"\s*Molecular mass:\s+(\S+)", line):
            found["molecular mass"] = (float(m[1]), _decimals(m[1]))
        elif line.strip().startswith("Eigenvalues -- "):
            text = line.split("--", 1)[1][2:]  # three F10.5 fields, which may touch
            fields = [text[k : k + 10] for k in range(0, len(text), 10) if text[k : k + 10].strip()]
            for k, field in enumerate(fields):
                found[f"moment {k}"] = (float(field), _decimals(field.strip()))
        elif m := re.match(r"\s*Rotational symmetry number\s+(\d+)", line):
            found["symmetry number"] = (int(m[1]), 0)
        elif m := re.match(r"\s*Rotational temperatures? \(Kelvin\)\s+(.*)", line):
            for k, field in enumerate(m[1].split()):
                found[f"rotational temperature {k}"] = (float(field), _decimals(field))
        elif m := re.match(r"\s*Rotational constants? \(GHZ\):\s+(.*)", line):
            for k, field in enumerate(m[1].split()):
                found[f"rotational constant {k}"] = (float(field), _decimals(field))
        elif m := re.match(r"\s*Zero-point vibrational energy\s+(\S+)", line):
            found["ZPE J/mol"] = (float(m[1]), _decimals(m[1]))
            kcal = lines[i + 1].split()[0]
            found["ZPE kcal/mol"] = (float(kcal), _decimals(kcal))
        elif line.strip().startswith("Vibrational temperatures:"):
            values = line.split(":", 1)[1].split()
            while lines[i + 1].strip() and not lines[i + 1].strip().startswith("Zero-point correction"):
                i += 1
                values += [v for v in lines[i].replace("(Kelvin)", "").split()]
            for k, field in enumerate(values):
                found[f"vibrational temperature {k}"] = (float(field), _decimals(field))
        elif m := re.match(
            r"\s*(Zero-point correction|Thermal correction to [A-Za-z ]+|Sum of electronic and [A-Za-z\- ]+)="
            r"\s+(" + NUMBER + ")",
            line,
        ):
            found[m[1].strip()] = (float(m[2]), _decimals(m[2]))
        elif m := re.match(
            r"\s*(Total|Electronic|Translational|Rotational|Vibrational|Vibration\s+\d+)\s+("
            + NUMBER
            + r")\s+("
            + NUMBER
            + r")\s+("
            + NUMBER
            + r")\s*$",
            line,
        ):
            name = re.sub(r"\s+", " ", m[1])
            for column, text in zip(("E", "CV", "S"), m.group(2, 3, 4), strict=True):
                found[f"{name} {column}"] = (float(text), _decimals(text))
        elif m := re.match(
            r"\s*(Total Bot|Total V=0|Vib \(Bot\)(?:\s+\d+)?|Vib \(V=0\)(?:\s+\d+)?|Electronic|Translational|"
            r"Rotational)\s+(\S+)\s+(" + NUMBER + r")\s+(" + NUMBER + r")\s*$",
            line,
        ):
            name = re.sub(r"\s+", " ", m[1])
            found[f"{name} Q"] = _fortran_q(m[2])
            found[f"{name} log10"] = (float(m[3]), _decimals(m[3]))
            found[f"{name} ln"] = (float(m[4]), _decimals(m[4]))
        i += 1
    return found


_TENSOR = re.compile(r"\s*(Total R\(velocity\) tensor.*|\d+(\s+\d+)*|\d+(\s+-?\d\.\d+D[-+]\d+)+)\s*")


def _rows(lines, start, width):
    """The rows "state v1 ... v<width>" of the table whose header is at `start`, each value with its decimals."""
    rows = {}
    pattern = re.compile(rf"\s+(\d+)((?:\s+{NUMBER}){{{width}}})\s*$")
    for line in lines[start + 1 :]:
        if m := pattern.fullmatch(line):
            rows[int(m[1])] = [(float(v), _decimals(v)) for v in m[2].split()]
        elif not _TENSOR.fullmatch(line):  # the velocity form's tensors stand between its rows
            break
    return rows


def excited_states(path):
    """{table: {state: [(value, decimals), ...]}} of the excited-state part of a CIS or TD job's output:
    "summary" (eV, nm, f, <S**2>), "electric" and "velocity" (X, Y, Z, Dip. S., Osc.), "magnetic" (X, Y, Z),
    "R(velocity)" and "R(length)" (XX, YY, ZZ, R, and R(au) for the length form)."""
    lines = Path(path).read_text(errors="replace").splitlines()
    tables = {}
    titles = {
        "transition electric dipole": ("electric", 5),
        "transition velocity dipole": ("velocity", 5),
        "transition magnetic dipole": ("magnetic", 3),
    }
    for i, line in enumerate(lines):
        for title, (name, width) in titles.items():
            if title in line:
                tables[name] = _rows(lines, i + 1, width)
        if line.split()[-1:] == ["R(velocity)"]:
            tables["R(velocity)"] = _rows(lines, i, 4)
        if "R(length)" in line:
            tables["R(length)"] = _rows(lines, i, 5)
    summary = re.compile(
        rf"\s*Excited State\s+(\d+):\s+\S+\s+({NUMBER}) eV\s+({NUMBER}) nm\s+f=({NUMBER})\s+<S\*\*2>=({NUMBER})"
    )
    tables["summary"] = {
        int(m[1]): [(float(v), _decimals(v)) for v in m.groups()[1:]] for line in lines if (m := summary.match(line))
    }
    return tables
