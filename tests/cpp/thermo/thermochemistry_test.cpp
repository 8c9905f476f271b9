// Rigid rotor, harmonic analysis, thermochemistry and line shapes on molecules whose
// answers are known without the code: symmetry numbers of textbook point groups, the
// invariances a harmonic analysis must respect, Sackur-Tetrode for argon, the standard entropy
// of nitrogen.
#include "tesvarin/thermo/thermochemistry.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tesvarin/thermo/harmonic.hpp"
#include "tesvarin/thermo/rigid_rotor.hpp"
#include "tesvarin/thermo/vibration_blocks.hpp"

using namespace tesvarin;

namespace {

struct Molecule {
    std::string name;
    std::vector<int64_t> z;
    std::vector<double> xyz;
    std::vector<double> masses;
    int64_t sigma;
};

void add(Molecule& m, int64_t z, double mass, double x, double y, double w) {
    m.z.push_back(z);
    m.masses.push_back(mass);
    m.xyz.insert(m.xyz.end(), {x, y, w});
}

std::vector<Molecule> molecules() {
    const double pi = 3.14159265358979323846;
    std::vector<Molecule> all;
    Molecule ch4{"methane", {}, {}, {}, 12};
    add(ch4, 6, 12.0, 0, 0, 0);
    for (auto [x, y, w] : {std::array<double, 3>{1, 1, 1}, {1, -1, -1}, {-1, 1, -1}, {-1, -1, 1}})
        add(ch4, 1, 1.008, x, y, w);
    all.push_back(ch4);
    Molecule nh3{"ammonia", {}, {}, {}, 3};
    add(nh3, 7, 14.0, 0, 0, 0.7);
    for (int k = 0; k < 3; ++k) add(nh3, 1, 1.008, 1.8 * std::cos(2 * pi * k / 3), 1.8 * std::sin(2 * pi * k / 3), 0);
    all.push_back(nh3);
    Molecule benzene{"benzene", {}, {}, {}, 12};
    for (int k = 0; k < 6; ++k) {
        add(benzene, 6, 12.0, 2.64 * std::cos(pi * k / 3), 2.64 * std::sin(pi * k / 3), 0);
        add(benzene, 1, 1.008, 4.69 * std::cos(pi * k / 3), 4.69 * std::sin(pi * k / 3), 0);
    }
    all.push_back(benzene);
    Molecule sf6{"sulfur hexafluoride", {}, {}, {}, 24};
    add(sf6, 16, 31.97, 0, 0, 0);
    for (int k = 0; k < 3; ++k)
        for (double s : {-3.0, 3.0}) add(sf6, 9, 19.0, k == 0 ? s : 0, k == 1 ? s : 0, k == 2 ? s : 0);
    all.push_back(sf6);
    Molecule ethane{"staggered ethane", {}, {}, {}, 6};
    add(ethane, 6, 12.0, 0, 0, 1.45);
    add(ethane, 6, 12.0, 0, 0, -1.45);
    for (int k = 0; k < 3; ++k) {
        add(ethane, 1, 1.008, 1.9 * std::cos(2 * pi * k / 3), 1.9 * std::sin(2 * pi * k / 3), 2.1);
        add(ethane, 1, 1.008, 1.9 * std::cos(2 * pi * k / 3 + pi / 3), 1.9 * std::sin(2 * pi * k / 3 + pi / 3), -2.1);
    }
    all.push_back(ethane);
    Molecule water{"water", {}, {}, {}, 2};
    add(water, 8, 15.995, 0, 0, 0.22);
    add(water, 1, 1.008, 1.43, 0, -0.88);
    add(water, 1, 1.008, -1.43, 0, -0.88);
    all.push_back(water);
    Molecule hod = water;  // an isotope breaks the symmetry
    hod.name = "HOD";
    hod.masses[2] = 2.014;
    hod.sigma = 1;
    all.push_back(hod);
    Molecule co2{"carbon dioxide", {}, {}, {}, 2};
    add(co2, 6, 12.0, 0, 0, 0);
    add(co2, 8, 15.995, 0, 0, 2.2);
    add(co2, 8, 15.995, 0, 0, -2.2);
    all.push_back(co2);
    Molecule hcn{"hydrogen cyanide", {}, {}, {}, 1};
    add(hcn, 1, 1.008, 0, 0, -3.0);
    add(hcn, 6, 12.0, 0, 0, -1.0);
    add(hcn, 7, 14.0, 0, 0, 1.2);
    all.push_back(hcn);
    Molecule argon{"argon", {}, {}, {}, 1};
    add(argon, 18, 39.948, 0.3, -0.2, 0.1);
    all.push_back(argon);
    return all;
}

// A Hessian of springs between every pair of atoms (constant k/distance^2): invariant under
// translation and rotation, like a real one at a stationary point.
Eigen::MatrixXd spring_hessian(const std::vector<double>& xyz) {
    const auto n = static_cast<Eigen::Index>(xyz.size() / 3);
    Eigen::MatrixXd h = Eigen::MatrixXd::Zero(3 * n, 3 * n);
    for (Eigen::Index a = 0; a < n; ++a)
        for (Eigen::Index b = 0; b < a; ++b) {
            Eigen::Vector3d d(xyz[3 * a] - xyz[3 * b], xyz[3 * a + 1] - xyz[3 * b + 1],
                              xyz[3 * a + 2] - xyz[3 * b + 2]);
            const Eigen::Matrix3d block = 0.5 / d.squaredNorm() * (d.normalized() * d.normalized().transpose());
            h.block<3, 3>(3 * a, 3 * a) += block;
            h.block<3, 3>(3 * b, 3 * b) += block;
            h.block<3, 3>(3 * a, 3 * b) -= block;
            h.block<3, 3>(3 * b, 3 * a) -= block;
        }
    return h;
}

}  // namespace

TEST(RigidRotor, SymmetryNumbersOfTextbookPointGroups) {
    for (const Molecule& m : molecules()) {
        EXPECT_EQ(rotational_symmetry_number(m.xyz, m.z, m.masses), m.sigma) << m.name;
        // Turned and moved, the molecule keeps its symmetry number.
        const Eigen::Matrix3d turn = (Eigen::AngleAxisd(0.7, Eigen::Vector3d(1, 2, 3).normalized())).toRotationMatrix();
        std::vector<double> moved(m.xyz.size());
        for (size_t a = 0; a < m.masses.size(); ++a) {
            const Eigen::Vector3d r = turn * Eigen::Vector3d(m.xyz[3 * a], m.xyz[3 * a + 1], m.xyz[3 * a + 2]);
            for (int k = 0; k < 3; ++k) moved[3 * a + k] = r(k) + 5.0 + k;
        }
        EXPECT_EQ(rotational_symmetry_number(moved, m.z, m.masses), m.sigma) << m.name << " turned";
    }
}

TEST(Harmonic, ModesCarryNoMomentumAndAreOrthogonalInTheMassMetric) {
    for (const Molecule& m : molecules()) {
        const auto n = static_cast<int64_t>(m.masses.size());
        const HarmonicAnalysis h = harmonic_analysis(spring_hessian(m.xyz), m.xyz, m.masses);
        const bool linear = m.name == "carbon dioxide" || m.name == "hydrogen cyanide";
        EXPECT_EQ(h.nmodes, n == 1 ? 0 : 3 * n - (linear ? 5 : 6)) << m.name;
        EXPECT_EQ(h.linear, linear) << m.name;
        const Eigen::Vector3d com = centre_of_mass(m.xyz, m.masses);
        for (int64_t k = 0; k < h.nmodes; ++k) {
            // Central springs leave out-of-plane and linear bends without stiffness: zero, never imaginary.
            EXPECT_GT(h.frequencies[k], -1e-3) << m.name;
            Eigen::Vector3d momentum = Eigen::Vector3d::Zero(), angular = Eigen::Vector3d::Zero();
            for (int64_t a = 0; a < n; ++a) {
                const Eigen::Vector3d x(&h.modes[(k * n + a) * 3]);
                const Eigen::Vector3d r = Eigen::Vector3d(&m.xyz[3 * a]) - com;
                momentum += m.masses[a] * x;
                angular += m.masses[a] * r.cross(x);
            }
            EXPECT_LT(momentum.norm(), 1e-9) << m.name << " mode " << k;
            EXPECT_LT(angular.norm(), 1e-9) << m.name << " mode " << k;
            for (int64_t l = 0; l < k; ++l) {
                double dot = 0;
                for (int64_t i = 0; i < 3 * n; ++i)
                    dot += m.masses[i / 3] * h.modes[k * 3 * n + i] * h.modes[l * 3 * n + i];
                EXPECT_NEAR(dot, 0.0, 1e-9) << m.name << " modes " << k << ", " << l;
            }
        }
    }
}

TEST(Harmonic, DiatomicFollowsTheReducedMass) {
    const std::vector<double> xyz{0, 0, 0, 0, 0, 1.8};
    const Eigen::MatrixXd h = spring_hessian(xyz);
    const HarmonicAnalysis light = harmonic_analysis(h, xyz, {15.995, 1.008});
    const HarmonicAnalysis heavy = harmonic_analysis(h, xyz, {15.995, 2.014});
    ASSERT_EQ(light.nmodes, 1);
    const double mu_light = 15.995 * 1.008 / (15.995 + 1.008), mu_heavy = 15.995 * 2.014 / (15.995 + 2.014);
    // The modes have unit length: 1 / sum of squared Cartesian displacements, m1 m2 (m1 + m2) / (m1^2 + m2^2).
    EXPECT_NEAR(light.reduced_masses[0], 15.995 * 1.008 * (15.995 + 1.008) / (15.995 * 15.995 + 1.008 * 1.008), 1e-12);
    EXPECT_NEAR(heavy.frequencies[0] / light.frequencies[0], std::sqrt(mu_light / mu_heavy), 1e-12);
}

// Charges +q and -q on the two atoms (each atom's polar tensor q times the identity): the
// stretch's |d mu / d Q|^2 is q^2 / mu, and an intensity of 1 e^2/amu is 42.2561 km/mol per
// (D/A)^2/amu times (4.80320 D/A)^2; rotations and translations carry no intensity.
TEST(Harmonic, IrIntensityOfChargedDiatomicIsChargeSquaredOverReducedMass) {
    const std::vector<double> xyz{0, 0, 0, 0, 0, 1.8};
    const std::vector<double> masses{15.995, 1.008};
    for (const double q : {0.0, 0.3, -0.7}) {
        std::vector<double> dipole(18, 0.0);
        for (int k = 0; k < 3; ++k) {
            dipole[static_cast<size_t>(3 * k + k)] = q;       // atom 1: d mu_k / d x_k
            dipole[static_cast<size_t>(9 + 3 * k + k)] = -q;  // atom 2
        }
        const HarmonicAnalysis h = harmonic_analysis(spring_hessian(xyz), xyz, masses, codata2010, dipole);
        ASSERT_EQ(h.ir_intensities.size(), 1u);
        const double mu = masses[0] * masses[1] / (masses[0] + masses[1]);
        EXPECT_NEAR(h.ir_intensities[0], codata2010.ir_intensity_km_mol() * q * q / mu, 1e-9);
    }
    EXPECT_NEAR(codata2010.ir_intensity_km_mol(), 42.2561 * 4.80320471 * 4.80320471, 0.01);
    EXPECT_TRUE(harmonic_analysis(spring_hessian(xyz), xyz, masses).ir_intensities.empty());
    EXPECT_THROW(harmonic_analysis(spring_hessian(xyz), xyz, masses, codata2010, std::vector<double>(17, 0.0)),
                 std::exception);
}

TEST(Thermochemistry, ArgonFollowsSackurTetrode) {
    ThermoInput argon{{18}, {0, 0, 0}, {39.9623831}, {}, 1, -527.0};
    ThermoOptions o;
    o.pressure = 100000.0 / 101325.0;  // 1 bar
    const Thermochemistry t = thermochemistry(argon, o);
    EXPECT_NEAR(t.total.entropy * 4.184, 154.846, 0.01);  // J/(mol K), the tabulated standard entropy
    EXPECT_EQ(t.rotor, RotorKind::atom);
    EXPECT_NEAR(t.thermal_enthalpy - t.thermal_energy, 8.314462618 * 298.15 / 2625499.64, 1e-9);
    o.quasi_harmonic.concentration = 1.0;  // 1 M: RT ln(24.46) less entropy at 298.15 K
    const Thermochemistry molar = thermochemistry(argon, o);
    EXPECT_NEAR((molar.translational.entropy - molar.qh_translational_entropy) * 4.184,
                8.314462618 * std::log(8.314462618 * 298.15 / 100000.0 * 1000.0), 1e-3);
}

TEST(Thermochemistry, NitrogenFollowsTheLinearRotor) {
    // 14N2 at its equilibrium bond (1.0977 A) and harmonic wavenumber: the rigid rotor and harmonic
    // oscillator give the tabulated standard entropy at 298.15 K and 1 bar to within 0.1 J/(mol K).
    const double half = 1.0977 / 0.529177210903 / 2;
    ThermoInput n2{{7, 7}, {0, 0, -half, 0, 0, half}, {14.0030740, 14.0030740}, {2358.6}, 1, -109.5};
    ThermoOptions o;
    o.pressure = 100000.0 / 101325.0;
    const Thermochemistry t = thermochemistry(n2, o);
    EXPECT_EQ(t.symmetry_number, 2);
    EXPECT_NEAR(t.total.entropy * 4.184, 191.61, 0.1);
}

TEST(Thermochemistry, RefusesWhatIsNotPhysical) {
    const ThermoInput water{{8, 1, 1}, {0, 0, 0.22, 1.43, 0, -0.88, -1.43, 0, -0.88}, {16, 1, 1}, {1600, 3600, 3700}, 1,
                            0};
    auto message = [&](ThermoOptions o, ThermoInput in) {
        try {
            thermochemistry(in, o);
        } catch (const std::exception& e) {
            return std::string(e.what()).substr(0, 60);
        }
        return std::string("no error");
    };
    ThermoOptions cold;
    cold.temperature = 0;
    EXPECT_NE(message(cold, water).find("temperature must be positive"), std::string::npos);
    ThermoInput massless = water;
    massless.masses[1] = 0;
    EXPECT_NE(message({}, massless).find("mass of atom 2"), std::string::npos);
    ThermoInput short_xyz = water;
    short_xyz.coords.resize(6);
    EXPECT_NE(message({}, short_xyz).find("3 masses but 3 atomic numbers and 6"), std::string::npos);
    EXPECT_THROW(harmonic_analysis(Eigen::MatrixXd::Zero(6, 6), water.coords, water.masses), std::exception);
    Eigen::MatrixXd nan = Eigen::MatrixXd::Zero(9, 9);
    nan(0, 0) = std::nan("");
    EXPECT_THROW(harmonic_analysis(nan, water.coords, water.masses), std::exception);
}

TEST(LineShapes, HalfMaximumAtHalfTheWidth) {
    for (LineShape shape : {LineShape::lorentzian, LineShape::gaussian}) {
        const std::vector<double> y = broaden({1000.0}, {2.0}, {1000.0, 1006.0, 994.0}, 12.0, shape);
        EXPECT_NEAR(y[1], 0.5 * y[0], 1e-12);
        EXPECT_NEAR(y[2], 0.5 * y[0], 1e-12);
    }
    EXPECT_NEAR(broaden({0.0}, {1.0}, {0.0}, 4.0, LineShape::lorentzian)[0], 2.0 / (3.14159265358979 * 4.0), 1e-12);
    EXPECT_THROW(broaden({0.0}, {}, {0.0}, 4.0, LineShape::gaussian), std::exception);
    EXPECT_THROW(broaden({0.0}, {1.0}, {0.0}, 0.0, LineShape::gaussian), std::exception);
}
