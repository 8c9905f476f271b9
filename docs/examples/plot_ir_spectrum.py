"""
IR spectrum of a frequency job
==============================

The sticks are the IR intensities of the harmonic modes (computed from the stored force constants and
dipole derivatives, as the program prints them); the curve is their Lorentzian broadening, each
band's area equal to its stick.
"""

import matplotlib.pyplot as plt
import samples
import tesvarin

cp = tesvarin.load(samples.folder() / "freq.chk")
frequencies, intensities = cp.sticks("ir")
for f, i in zip(frequencies, intensities, strict=True):
    print(f"{f:8.1f} cm-1  {i:7.2f} km/mol")

x, y = cp.spectrum("ir", fwhm=30, shape="lorentzian")
fig, curve = plt.subplots(figsize=(7, 4), layout="constrained")
sticks = curve.twinx()
curve.plot(x, y, color="C0", label="Lorentzian, FWHM 30 cm⁻¹")
sticks.vlines(frequencies, 0, intensities, color="C3", label="sticks")
curve.set_xlim(4500, 500)  # wavenumbers fall to the right, as spectra are drawn
curve.set_ylim(bottom=0)
sticks.set_ylim(bottom=0)
curve.set_xlabel("wavenumber (cm⁻¹)")
curve.set_ylabel("km/mol per cm⁻¹")
sticks.set_ylabel("IR intensity (km/mol)")
curve.legend(loc="upper left")
plt.show()

# %%
# The command line draws the same picture: ``tesvarin plot ir freq.chk -o ir.png --fwhm 30``.
