"""
A table of many checkpoints, read back with pandas
==================================================

``tesvarin export`` writes one row per checkpoint into a Parquet file; pandas reads it as a data frame.
Here the same is done from Python on a folder of three checkpoints.
"""

import matplotlib.pyplot as plt
import pandas as pd
import samples
from tesvarin.cli.main import main

folder = samples.folder()
status = main(["export", str(folder / "runs"), "-o", str(folder / "table.parquet"), "--force"])
frame = pd.read_parquet(folder / "table.parquet")
print(frame[["path", "job_type", "formula", "energy", "zero_point_energy"]].to_string())

# %%
# Each column's unit is in its Arrow field's metadata:
import pyarrow.parquet as pq  # noqa: E402  (a cell of its own)

schema = pq.read_schema(folder / "table.parquet")
print(schema.field("energy").metadata[b"description"].decode())

# %%
# The excited states of the TD job travel as lists:
td = frame[frame.excitation_energies_ev.notna()].iloc[0]
fig, axis = plt.subplots(figsize=(6, 3), layout="constrained")
axis.stem(td.excitation_energies_ev, td.oscillator_strengths)
axis.set_xlabel("excitation energy (eV)")
axis.set_ylabel("oscillator strength")
plt.show()
