// Thermochemistry from masses, geometry and harmonic frequencies: the partition
// functions of the ideal gas, rigid rotor and harmonic oscillator, their energies,
// heat capacities and entropies, and the quasi-harmonic variants of the low modes.
#include "tesvarin/thermo/thermochemistry.hpp"

#include <cmath>
#include <string>
#include <utility>

#include "tesvarin/error.hpp"
#include "tesvarin/number_text.hpp"
#include "tesvarin/thermo/physical_constants.hpp"
#include "tesvarin/thermo/rigid_rotor.hpp"

namespace tesvarin {

namespace {

// The program lists a mode by itself when its vibrational temperature is below this.
constexpr double low_mode_temperature = 900.0;  // K

double kcal(double joule_per_mol) { return joule_per_mol / (1000.0 * PhysicalConstants::calorie); }
double cal(double joule_per_mol_kelvin) { return joule_per_mol_kelvin / PhysicalConstants::calorie; }

// One harmonic mode at vibrational temperature theta: E (including the ZPE), CV and S per mole,
// in J/mol and J/(mol K), and ln Q from the bottom of the well and from the zero-point level.
struct Mode {
    Contribution si;
    LnQ lnq;
};

// Written with q = x / (e^x - 1) and 1 - e^-x = -expm1(-x), so that a mode far below kT (x as
// small as a double goes) and one far above it (e^x beyond a double) stay finite; x = 0 (theta
// vanishing against t) is the caller's to refuse.
Mode harmonic_mode(double theta, double t, double r) {
    const double x = theta / t;
    const bool frozen = std::isinf(x) || std::exp(-x) == 0.0;  // no thermal population at all
    const double q = frozen ? 0.0 : x / std::expm1(x);
    const double zero_point = -std::log(-std::expm1(-x));
    Mode m;
    m.si.energy = r * (0.5 * theta + t * q);
    m.si.cv = frozen ? 0.0 : r * q * (q + x);  // x^2 e^x / (e^x - 1)^2
    m.si.entropy = r * (q + zero_point);
    m.lnq.zero_point = zero_point;
    m.lnq.bottom = zero_point - 0.5 * x;
    return m;
}

RotorKind classify(const Eigen::Vector3d& moments, bool linear) {
    if (linear) return RotorKind::prolate;
    auto same = [](double a, double b) { return std::abs(a - b) <= 1e-3 * std::max(std::abs(a), std::abs(b)); };
    const bool low = same(moments(0), moments(1)), high = same(moments(1), moments(2));
    if (low && high) return RotorKind::spherical;
    if (high) return RotorKind::prolate;
    if (low) return RotorKind::oblate;
    return RotorKind::asymmetric;
}

void check_input(const ThermoInput& in, const ThermoOptions& o) {
    auto positive = [](double v) { return std::isfinite(v) && v > 0; };
    if (!positive(o.temperature))
        TESVARIN_THROW("Thermochemistry: the temperature must be positive, got " + std::to_string(o.temperature) +
                       " K");
    if (!positive(o.pressure))
        TESVARIN_THROW("Thermochemistry: the pressure must be positive, got " + std::to_string(o.pressure) + " atm");
    if (!positive(o.scale))
        TESVARIN_THROW("Thermochemistry: the frequency scale factor must be positive, got " + std::to_string(o.scale));
    if (o.symmetry_number < 0)
        TESVARIN_THROW("Thermochemistry: the symmetry number must be positive, got " +
                       std::to_string(o.symmetry_number));
    const auto& q = o.quasi_harmonic;
    for (double v : {q.entropy_cutoff, q.enthalpy_cutoff, q.raise_cutoff, q.concentration}) {
        if (!std::isfinite(v) || v < 0)
            TESVARIN_THROW("Thermochemistry: a quasi-harmonic cut-off or the concentration is negative or not finite");
    }
    if (!positive(q.damping_exponent) || !positive(q.average_inertia)) {
        TESVARIN_THROW("Thermochemistry: the damping exponent and the average moment of inertia must be positive");
    }
    const size_t n = in.masses.size();
    if (n == 0) TESVARIN_THROW("Thermochemistry: no atoms");
    if (in.atomic_numbers.size() != n || in.coords.size() < 3 * n) {
        TESVARIN_THROW("Thermochemistry: " + std::to_string(n) + " masses but " +
                       std::to_string(in.atomic_numbers.size()) + " atomic numbers and " +
                       std::to_string(in.coords.size()) + " coordinates");
    }
    for (size_t a = 0; a < n; ++a) {
        if (!positive(in.masses[a]))
            TESVARIN_THROW("Thermochemistry: the mass of atom " + std::to_string(a + 1) + " is not positive");
    }
    for (size_t a = 0; a < 3 * n; ++a) {
        if (!std::isfinite(in.coords[a]))
            TESVARIN_THROW("Thermochemistry: coordinate " + std::to_string(a % 3 + 1) + " of atom " +
                           std::to_string(a / 3 + 1) + " is not finite");
    }
    for (size_t k = 0; k < in.frequencies.size(); ++k) {
        if (!std::isfinite(in.frequencies[k]))
            TESVARIN_THROW("Thermochemistry: frequency " + std::to_string(k + 1) + " is not finite");
    }
    if (in.multiplicity < 1)
        TESVARIN_THROW("Thermochemistry: the multiplicity must be at least 1, got " + std::to_string(in.multiplicity));
}

// Finite input can still take a sum past the range of a double (temperatures far beyond any
// chemistry, thousands of modes near it): refused by name, never handed on.
void check_results(const Thermochemistry& th) {
    const std::pair<const char*, double> results[] = {
        {"translational partition function", th.q_translational},
        {"rotational partition function", th.q_rotational},
        {"vibrational partition function", th.q_vibrational.bottom},
        {"vibrational partition function", th.q_vibrational.zero_point},
        {"zero-point energy", th.zero_point_energy},
        {"thermal energy", th.thermal_energy},
        {"thermal enthalpy", th.thermal_enthalpy},
        {"thermal free energy", th.thermal_gibbs},
        {"heat capacity", th.total.cv},
        {"entropy", th.total.entropy},
        {"quasi-harmonic entropy", th.qh_entropy},
        {"quasi-harmonic enthalpy", th.qh_enthalpy},
        {"quasi-harmonic free energy", th.qh_gibbs},
    };
    for (const auto& [name, value] : results) {
        if (!std::isfinite(value))
            TESVARIN_THROW(std::string("Thermochemistry: the ") + name + " is beyond the range of a double at " +
                           shortest(th.temperature) + " K");
    }
}

}  // namespace

Thermochemistry thermochemistry(const ThermoInput& in, const ThermoOptions& o) {
    check_input(in, o);
    const PhysicalConstants& c = o.constants;
    Thermochemistry th;
    const double t = o.temperature;
    const double r = c.gas_constant();
    const double kt = c.boltzmann * t;
    th.temperature = t;
    th.pressure = o.pressure;
    th.scale = o.scale;
    th.constants = c;
    th.masses = in.masses;
    th.electronic_energy = in.electronic_energy;
    for (double m : in.masses) th.molecular_mass += m;

    // Translation: a particle of the molecule's mass in the volume kT/P.
    // In logarithms, so that no product of the constants leaves the range of a double.
    const double mass_kg = th.molecular_mass * c.amu;
    const double log_kt = std::log(c.boltzmann) + std::log(t);
    const double log_thermal_length_term =
        std::log(2.0 * PhysicalConstants::pi * mass_kg) + log_kt - 2.0 * std::log(c.planck);
    th.q_translational = 1.5 * log_thermal_length_term + log_kt - std::log(o.pressure * PhysicalConstants::atmosphere);
    th.translational = {1.5 * r * t, 1.5 * r, r * (th.q_translational + 2.5)};

    // Electronic: the ground state's spin degeneracy only.
    th.q_electronic = std::log(static_cast<double>(in.multiplicity));
    th.electronic = {0, 0, r * th.q_electronic};

    // Rotation.
    const size_t n = in.masses.size();
    const bool linear = is_linear(in.coords, in.masses);
    if (n > 1) {
        check_geometry(in.coords, in.masses, "Thermochemistry");
        const Inertia inertia = principal_moments(in.coords, in.masses);
        th.moments = inertia.moments;
        th.axes = inertia.axes;
        th.rotor = classify(inertia.moments, linear);
        th.symmetry_number = o.symmetry_number > 0
                                 ? o.symmetry_number
                                 : rotational_symmetry_number(in.coords, in.atomic_numbers, in.masses);
        const double to_si = c.amu * c.bohr * c.bohr;
        for (int k = linear ? 2 : 0; k < 3; ++k) {
            const double moment = inertia.moments(k) * to_si;
            const double theta =
                c.planck * c.planck / (8.0 * PhysicalConstants::pi * PhysicalConstants::pi * moment * c.boltzmann);
            if (!std::isfinite(theta))
                TESVARIN_THROW("Thermochemistry: the atoms sit at one point (largest moment of inertia " +
                               shortest(inertia.moments(k)) + " amu Bohr^2), so the rotational constants are infinite");
            th.rotational_temperatures.push_back(theta);
            th.rotational_constants.push_back(c.planck /
                                              (8.0 * PhysicalConstants::pi * PhysicalConstants::pi * moment) * 1e-9);
        }
        const double sigma = static_cast<double>(th.symmetry_number);
        if (linear) {
            th.q_rotational = std::log(t / (sigma * th.rotational_temperatures[0]));
            th.rotational = {r * t, r, r * (th.q_rotational + 1.0)};
        } else {
            const auto& rt = th.rotational_temperatures;
            th.q_rotational = 0.5 * std::log(PhysicalConstants::pi) - std::log(sigma) + 1.5 * std::log(t) -
                              0.5 * (std::log(rt[0]) + std::log(rt[1]) + std::log(rt[2]));
            th.rotational = {1.5 * r * t, 1.5 * r, r * (th.q_rotational + 1.5)};
        }
    } else {
        th.rotor = RotorKind::atom;
        th.symmetry_number = 1;
    }

    // Vibration: the real modes, scaled; imaginary ones are left out.
    const auto& qh = o.quasi_harmonic;
    double zpe_si = 0, qh_energy = 0, qh_entropy = 0;
    for (double f : in.frequencies) {
        if (f < 0) {
            ++th.imaginary_count;
            continue;
        }
        if (f == 0) continue;
        const double nu = f * o.scale;
        const double theta = nu * c.kelvin_per_wavenumber();
        if (!(theta / t > 0.0) || !std::isfinite(nu)) {
            TESVARIN_THROW("Thermochemistry: frequency " + shortest(nu) +
                           " cm^-1 is out of range for a harmonic mode at " + shortest(t) + " K");
        }
        const Mode m = harmonic_mode(theta, t, r);
        const auto index = static_cast<int64_t>(th.frequencies.size());
        th.frequencies.push_back(nu);
        th.vibrational_temperatures.push_back(theta);
        zpe_si += 0.5 * r * theta;
        th.vibrational.energy += m.si.energy;
        th.vibrational.cv += m.si.cv;
        th.vibrational.entropy += m.si.entropy;
        th.q_vibrational.bottom += m.lnq.bottom;
        th.q_vibrational.zero_point += m.lnq.zero_point;
        if (theta < low_mode_temperature) {
            th.low_modes.push_back(index);
            th.low_mode_contributions.push_back({kcal(m.si.energy), cal(m.si.cv), cal(m.si.entropy)});
            th.q_low_modes.push_back(m.lnq);
        }
        // Entropy: Truhlar raises the frequency; Grimme interpolates to a free rotor of the
        // same frequency whose moment is limited by B_av.
        double entropy = m.si.entropy;
        if (qh.raise_cutoff > 0 && nu < qh.raise_cutoff) {
            entropy = harmonic_mode(qh.raise_cutoff * c.kelvin_per_wavenumber(), t, r).si.entropy;
        }
        if (qh.entropy_cutoff > 0) {
            const double w = 1.0 / (1.0 + std::pow(qh.entropy_cutoff / nu, qh.damping_exponent));
            const double mu = c.planck / (8.0 * PhysicalConstants::pi * PhysicalConstants::pi * nu *
                                          PhysicalConstants::light_speed_cm);
            const double mu_eff = mu * qh.average_inertia / (mu + qh.average_inertia);
            const double free_rotor =
                r * (0.5 + 0.5 * std::log(8.0 * PhysicalConstants::pi * PhysicalConstants::pi * PhysicalConstants::pi *
                                          mu_eff * kt / (c.planck * c.planck)));
            entropy = w * entropy + (1.0 - w) * free_rotor;
        }
        qh_entropy += entropy;
        // Energy: Head-Gordon interpolates to the free rotor's RT/2.
        double energy = m.si.energy;
        if (qh.enthalpy_cutoff > 0) {
            const double w = 1.0 / (1.0 + std::pow(qh.enthalpy_cutoff / nu, qh.damping_exponent));
            energy = w * energy + (1.0 - w) * 0.5 * r * t;
        }
        qh_energy += energy;
    }

    const double to_hartree = 1.0 / (c.hartree * c.avogadro);
    th.zero_point_energy = zpe_si * to_hartree;
    const double e_si = th.translational.energy + th.rotational.energy + th.vibrational.energy;
    const double cv_si = th.translational.cv + th.rotational.cv + th.vibrational.cv;
    const double s_si =
        th.translational.entropy + th.electronic.entropy + th.rotational.entropy + th.vibrational.entropy;
    th.thermal_energy = e_si * to_hartree;
    th.thermal_enthalpy = (e_si + r * t) * to_hartree;
    th.thermal_gibbs = (e_si + r * t - t * s_si) * to_hartree;
    th.q_total.bottom = th.q_translational + th.q_electronic + th.q_rotational + th.q_vibrational.bottom;
    th.q_total.zero_point = th.q_translational + th.q_electronic + th.q_rotational + th.q_vibrational.zero_point;

    // Quasi-harmonic totals; a concentration replaces the volume kT/P by 1/(c N_A).
    double s_trans = th.translational.entropy;
    if (qh.concentration > 0) {
        const double volume = 1e-3 / (qh.concentration * c.avogadro);  // m^3 per molecule
        s_trans = r * (1.5 * log_thermal_length_term + std::log(volume) + 2.5);
    }
    const double qh_s = s_trans + th.electronic.entropy + th.rotational.entropy + qh_entropy;
    const double qh_e = th.translational.energy + th.rotational.energy + qh_energy;
    th.qh_vibrational_entropy = cal(qh_entropy);
    th.qh_vibrational_energy = kcal(qh_energy);
    th.qh_translational_entropy = cal(s_trans);
    th.qh_entropy = cal(qh_s);
    th.qh_enthalpy = (qh_e + r * t) * to_hartree;
    th.qh_gibbs = (qh_e + r * t - t * qh_s) * to_hartree;

    for (Contribution* part : {&th.translational, &th.electronic, &th.rotational, &th.vibrational}) {
        part->energy = kcal(part->energy);
        part->cv = cal(part->cv);
        part->entropy = cal(part->entropy);
    }
    th.total = {th.translational.energy + th.rotational.energy + th.vibrational.energy, cal(cv_si), cal(s_si)};
    check_results(th);
    return th;
}

}  // namespace tesvarin
