"""
UV-Vis and ECD spectra of a TD job
==================================

The excited states of a CIS or TD job broadened into the UV-Vis spectrum (molar absorptivity) and
the ECD spectrum (Delta-epsilon, from the velocity-form rotatory strengths), with the states as sticks.
"""

import matplotlib.pyplot as plt
import samples  # the documentation's checkpoints, made with the test suite's builder
import tesvarin

cp = tesvarin.load(samples.folder() / "td.chk")
states = cp.excited_states
print(f"{len(states)} states from {states.wavelengths_nm.min():.1f} to {states.wavelengths_nm.max():.1f} nm")

nm, epsilon = cp.spectrum("uv-vis", fwhm_ev=0.5, unit="nm")
_, delta_epsilon = cp.spectrum("ecd", fwhm_ev=0.5, unit="nm", grid=nm)

fig, (uv, ecd) = plt.subplots(2, 1, figsize=(7, 6), sharex=True, layout="constrained")
uv.plot(nm, epsilon, color="C0")
uv.vlines(
    states.wavelengths_nm,
    0,
    states.oscillator_strengths * epsilon.max() / states.oscillator_strengths.max(),
    color="C3",
    label="states (f, scaled)",
)
uv.set_ylabel("ε (L mol⁻¹ cm⁻¹)")
uv.legend()
ecd.plot(nm, delta_epsilon, color="C2")
ecd.axhline(0.0, color="grey", linewidth=0.8)
ecd.set_ylabel("Δε (L mol⁻¹ cm⁻¹)")
ecd.set_xlabel("wavelength (nm)")
ecd.set_xlim(90, 200)
fig.suptitle(f"{cp.title}: {cp.method}/{cp.basis_name}")
plt.show()
