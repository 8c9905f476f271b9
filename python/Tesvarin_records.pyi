"""Read-only records of the further sections"""

import numpy
import numpy.typing

class CorePotentials:
    """Effective core potentials (512), as formchk's ECP entries hold them; the terms' coefficients are not in the checkpoint"""

    @property
    def kfirst(self) -> numpy.typing.NDArray[numpy.int64]:
        """First coefficient of each term, 1-based (0: none), int64 (natoms, 10)"""
    @property
    def klast(self) -> numpy.typing.NDArray[numpy.int64]:
        """Last coefficient of each term, int64 (natoms, 10)"""
    @property
    def lmax(self) -> numpy.typing.NDArray[numpy.int64]:
        """Highest angular momentum of each atom's potential, int64 (natoms,)"""
    @property
    def lpskip(self) -> numpy.typing.NDArray[numpy.int64]:
        """1 for an atom without a potential, int64 (natoms,)"""
    @property
    def frozen(self) -> numpy.typing.NDArray[numpy.float64]:
        """Core electrons each atom's potential replaces (RNFroz), float64 (natoms,)"""

class Trajectory:
    """The archive section (701) in its trajectory layout, of an ADMP or BOMD job: every step of every point in order, as stored (input orientation)"""

    @property
    def max_steps(self) -> int:
        """Room for this many steps (MaxStp)"""
    @property
    def job_offset(self) -> int:
        """The job offset"""
    @property
    def results_per_geometry(self) -> int:
        """Results stored per step (NRes)"""
    @property
    def nvar(self) -> int:
        """Values per geometry, momentum and gradient (NVar, 3 natoms)"""
    @property
    def reference_energy(self) -> float:
        """The first potential energy's integer part, Hartree: formchk writes the potential energies less it"""
    @property
    def geometries_per_point(self) -> numpy.typing.NDArray[numpy.int64]:
        """Steps of each point, int64 (npoints,)"""
    @property
    def results(self) -> numpy.typing.NDArray[numpy.float64]:
        """Results of each step: time (fs) first, the potential energy at 4 and the total energy at 6 (Hartree), float64 (nsteps, NRes)"""
    @property
    def geometries(self) -> numpy.typing.NDArray[numpy.float64]:
        """Geometries, Bohr, float64 (nsteps, NVar)"""
    @property
    def momenta(self) -> numpy.typing.NDArray[numpy.float64]:
        """Mass-weighted velocities, sqrt(amu) Bohr/fs, float64 (nsteps, NVar)"""
    @property
    def gradients(self) -> numpy.typing.NDArray[numpy.float64]:
        """Gradients, Hartree/Bohr, float64 (nsteps, NVar)"""

class ExcitedStates:
    """Excited states of a CIS or TD-DFT job (770), as formchk's ETran entries hold them"""

    @property
    def nstates(self) -> int:
        """Number of excited states"""
    @property
    def values_per_state(self) -> int:
        """Values stored per state (16)"""
    @property
    def scalars(self) -> numpy.typing.NDArray[numpy.int64]:
        """ETran scalars: the ten header words as twenty halves, high half first (nstates, values_per_state, 1, 10, the state followed, 0, ...), int64 (20,)"""
    @property
    def spin(self) -> numpy.typing.NDArray[numpy.int64]:
        """ETran spin, one per state, int64 (nstates,)"""
    @property
    def symmetry(self) -> numpy.typing.NDArray[numpy.int64]:
        """ETran sym, one per state, int64 (nstates,)"""
    @property
    def state_values(self) -> numpy.typing.NDArray[numpy.float64]:
        """ETran state values, one row per state: total energy (Hartree), transition dipole <0|r|n> (3, e Bohr), velocity form <0|del|n> (3), magnetic form <0|r x del|n> (3), then further values as stored; float64 (nstates, values_per_state)"""
