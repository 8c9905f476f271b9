"""
The electrostatic potential on a plane
======================================

The potential of the nuclei and the SCF density at points of the molecule's plane (Bohr in,
Hartree/e out), drawn with its zero contour.
"""

import matplotlib.pyplot as plt
import numpy as np
import samples
import tesvarin

cp = tesvarin.load(samples.folder() / "examples" / "water.chk")
y, z = np.meshgrid(np.linspace(-4, 4, 121), np.linspace(-4, 4, 121))
points = np.column_stack([np.zeros(y.size), y.ravel(), z.ravel()])
v = cp.potential(points).reshape(y.shape)
print(f"{points.shape[0]} points, potential from {v.min():.3f} to {np.nanmax(v[np.isfinite(v)]):.1f} Hartree/e")

fig, axis = plt.subplots(figsize=(5.5, 4.5), layout="constrained")
shown = axis.contourf(y, z, np.clip(v, -0.1, 0.1), levels=np.linspace(-0.1, 0.1, 21), cmap="coolwarm")
axis.contour(y, z, v, levels=[0.0], colors="k", linewidths=1.0)
axis.plot(cp.coordinates[:, 1], cp.coordinates[:, 2], "o", color="white", markeredgecolor="black")
fig.colorbar(shown, label="V (Hartree/e), clipped at ±0.1")
axis.set_aspect("equal")
axis.set_xlabel("y (Bohr)")
axis.set_ylabel("z (Bohr)")
plt.show()
