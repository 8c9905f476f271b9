"""
An orbital and the density on a grid
====================================

The HOMO and the SCF density of the bundled example evaluated on the cube's grid, written as a cube
file, read back, and drawn on the plane of the molecule (the x = 0 plane: the atoms lie in it).
Blue is positive, red negative; the density is drawn on a logarithmic scale.
"""

import matplotlib.pyplot as plt
import numpy as np
import samples
import tesvarin
from matplotlib.colors import LogNorm

cp = tesvarin.load(samples.folder() / "examples" / "water.chk")
cp.cube("homo", grid="medium").write(samples.folder() / "water_homo.cube")
homo = tesvarin.read_cube(samples.folder() / "water_homo.cube")
density = cp.cube("density", grid="medium")
print(homo.counts, homo.orbitals, density.comment)


def plane(cube):
    """The values on the grid plane nearest x = 0, with its y and z coordinates (Bohr)."""
    i = round(float(-cube.origin[0] / cube.axes[0, 0]))
    values = cube.values[i, :, :, 0] if cube.values.ndim == 4 else cube.values[i]
    y = cube.origin[1] + cube.axes[1, 1] * np.arange(values.shape[0])
    z = cube.origin[2] + cube.axes[2, 2] * np.arange(values.shape[1])
    return y, z, values.T


fig, (left, right) = plt.subplots(1, 2, figsize=(9, 4.2), layout="constrained")
y, z, values = plane(homo)
levels = [-0.2, -0.1, -0.05, -0.02, 0.02, 0.05, 0.1, 0.2]
left.contourf(y, z, values, levels=[-1, *levels, 1], cmap="RdBu")
left.contour(y, z, values, levels=levels, colors="k", linewidths=0.5)
left.set_title("HOMO (orbital 5)")
y, z, values = plane(density)
shown = right.contourf(y, z, np.clip(values, 1e-4, None), levels=np.logspace(-4, 2, 13), norm=LogNorm(), cmap="viridis")
fig.colorbar(shown, ax=right, label="e/Bohr³")
right.set_title("SCF density")
for axis in (left, right):
    axis.plot(cp.coordinates[:, 1], cp.coordinates[:, 2], "o", color="white", markeredgecolor="black")
    axis.set_aspect("equal")
    axis.set_xlabel("y (Bohr)")
left.set_ylabel("z (Bohr)")
plt.show()

# %%
# To turn the orbital in 3-D, ``cp.view("homo").write("water_homo.html")`` (or ``tesvarin view
# examples/water.chk``) writes one self-contained page; the one this build made is
# `water_homo.html <../water_homo.html>`_.
