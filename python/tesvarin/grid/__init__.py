"""Orbitals, densities and their derivatives on points and grids, and Gaussian cube files.

``evaluation`` names what to evaluate and runs the core's evaluator on points or on a cube grid;
``cube_file`` holds the `Cube` record and reads and writes the cube file format.
"""

from tesvarin.grid.cube_file import Cube, read_cube
from tesvarin.grid.evaluation import cube, evaluate

__all__ = ["Cube", "cube", "evaluate", "read_cube"]
