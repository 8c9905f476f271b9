"""Read-only records of the further sections"""

import numpy
import numpy.typing

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
