// The physical constants of the program's thermochemistry and vibrational analysis,
// SI unless the name says otherwise. Gaussian 09 uses the CODATA 2006 values,
// Gaussian 16 those of CODATA 2010; the last printed digit of a rotational
// temperature tells them apart.
#pragma once

namespace tesvarin {

struct PhysicalConstants {
    double planck;     // J s
    double boltzmann;  // J/K
    double avogadro;   // 1/mol
    double amu;        // kg
    double bohr;       // m
    double hartree;    // J

    static constexpr double pi = 3.14159265358979323846;
    static constexpr double light_speed_cm = 2.99792458e10;  // cm/s
    static constexpr double calorie = 4.184;                 // J
    static constexpr double atmosphere = 101325.0;           // Pa

    constexpr double gas_constant() const { return boltzmann * avogadro; }  // J/(mol K)
    // Vibrational temperature per wavenumber: h c / k, K cm.
    constexpr double kelvin_per_wavenumber() const { return planck * light_speed_cm / boltzmann; }
    // A mass-weighted force constant (Hartree / (Bohr^2 amu)) as an angular frequency squared (s^-2).
    constexpr double au_force_to_si() const { return hartree / (bohr * bohr * amu); }
    // 1 Hartree/Bohr^2 in mDyne/Angstrom (1 mDyne/A = 100 N/m).
    constexpr double hartree_bohr2_to_mdyne_angstrom() const { return hartree / (bohr * bohr) / 100.0; }
    // An IR intensity N_A / (12 eps0 c^2) |d mu / d Q|^2 for |d mu / d Q| in e / sqrt(amu), as km/mol;
    // e^2 / (4 pi eps0) is one Hartree Bohr.
    constexpr double ir_intensity_km_mol() const {
        const double c = light_speed_cm / 100.0;  // m/s
        return avogadro * pi * hartree * bohr / (3.0 * c * c * amu) / 1000.0;
    }
};

inline constexpr PhysicalConstants codata2006{6.62606896e-34,  1.3806504e-23,     6.02214179e23,
                                              1.660538782e-27, 0.52917720859e-10, 4.35974394e-18};
inline constexpr PhysicalConstants codata2010{6.62606957e-34,  1.3806488e-23,     6.02214129e23,
                                              1.660538921e-27, 0.52917721092e-10, 4.35974434e-18};

}  // namespace tesvarin
