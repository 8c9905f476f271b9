"""
Charges fitted to the potential (MK and CHELPG)
===============================================

Atomic charges fitted to the potential of the SCF density at the program's Merz-Kollman points and at
the CHELPG grid, beside the Mulliken charges the file stores.
"""

import matplotlib.pyplot as plt
import numpy as np
import samples
import tesvarin

cp = tesvarin.load(samples.folder() / "examples" / "water.chk")
mk = cp.esp_charges("mk")
chelpg = cp.esp_charges("chelpg")
print(mk.log_text())

labels = [f"{s}{n + 1}" for n, s in enumerate(cp.symbols)]
x = np.arange(len(labels))
fig, axis = plt.subplots(figsize=(6, 3.8), layout="constrained")
for k, (name, charges) in enumerate(
    [("Mulliken", cp.mulliken_charges), ("MK", mk.charges), ("CHELPG", chelpg.charges)]
):
    axis.bar(x + (k - 1) * 0.27, charges, width=0.27, label=name)
axis.axhline(0.0, color="grey", linewidth=0.8)
axis.set_xticks(x, labels)
axis.set_ylabel("charge (e)")
axis.set_title(f"{len(mk.points)} MK points, RMS {mk.rms:.5f} Hartree/e")
axis.legend()
plt.show()
