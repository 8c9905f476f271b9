"""Orbitals, densities and their derivatives, and the electrostatic potential, on points and grids,
and Gaussian cube files.

``evaluation`` names what to evaluate and runs the core's evaluator on points or on a cube grid;
``cube_file`` holds the `Cube` record and reads and writes the cube file format; ``point_list``
reads points and writes values at them in cubegen's list layout.
"""

from tesvarin.grid.cube_file import Cube, read_cube
from tesvarin.grid.evaluation import cube, evaluate, potential

__all__ = ["Cube", "cube", "evaluate", "potential", "read_cube"]
