"""Excited states of CIS and TD jobs: the states as arrays, their UV-Vis and ECD spectra.

``states`` shapes the stored excited-state section into `ExcitedStates` (which values are stored,
which derived, and by what formula); ``bands`` broadens them in the program's conventions.
The densities of the followed state are evaluated by `tesvarin.grid` ("density:ci",
"difference:ci").
"""

from tesvarin.excited.bands import DEFAULT_FWHM_EV, electronic_spectrum, sticks
from tesvarin.excited.states import ExcitedStates, excited_states

__all__ = ["DEFAULT_FWHM_EV", "ExcitedStates", "electronic_spectrum", "excited_states", "sticks"]
