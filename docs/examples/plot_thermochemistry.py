"""
Thermochemistry at several temperatures
=======================================

The enthalpy, the entropy term and the Gibbs free energy of a frequency job from 100 to 1000 K, in
the program's conventions (ideal gas, rigid rotor, harmonic oscillator).
"""

import matplotlib.pyplot as plt
import numpy as np
import samples
import tesvarin

cp = tesvarin.load(samples.folder() / "freq.chk")
temperatures = np.arange(100.0, 1001.0, 50.0)
results = [cp.thermochemistry(temperature=t) for t in temperatures]
print(results[4].temperature_k, "K:", f"G = {results[4].sum_gibbs_hartree:.6f} Hartree")

hartree_kcal = 627.5095
h = np.array([r.sum_enthalpy_hartree for r in results])
g = np.array([r.sum_gibbs_hartree for r in results])
fig, axis = plt.subplots(figsize=(6.5, 4), layout="constrained")
axis.plot(temperatures, (h - h[0]) * hartree_kcal, label="H(T) - H(100 K)")
axis.plot(temperatures, (g - h[0]) * hartree_kcal, label="G(T) - H(100 K)")
axis.plot(temperatures, (h - g) * hartree_kcal, label="T S")
axis.set_xlabel("temperature (K)")
axis.set_ylabel("kcal/mol")
axis.legend()
plt.show()
