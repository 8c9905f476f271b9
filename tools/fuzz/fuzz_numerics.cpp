// libFuzzer entry point for the numerics over the records: the input becomes a file and is parsed
// (whole and with every partial read); whatever the reader accepts then goes through the grid
// evaluator (orbitals, densities of every kind and part, derivatives 0-2, screening on and off,
// one and two threads, points far out among them), the cube writer, the electrostatic potential,
// the harmonic analysis and the thermochemistry (odd masses, temperatures), the stored vibrations
// and their broadening.
// A clean refusal (a standard exception) is the right answer; a crash, a sanitizer report, a
// hang, memory out of proportion to the file or a non-finite number handed back is a finding.
//
// The choices that are not in the file (which orbitals, which temperature) come from a hash of
// the input, so every mutation of the file also tries another combination.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_input.hpp"
#include "tesvarin/checkpoint_vibrations.hpp"
#include "tesvarin/grid/grid_eval.hpp"
#include "tesvarin/grid/potential.hpp"
#include "tesvarin/parser.hpp"
#include "tesvarin/write/cube_file.hpp"

namespace {
// The evaluator holds its per-thread slab (5 MiB with second derivatives) and the combinations'
// weights and values, which the file's coefficients bound; the reader four times the file.
constexpr int64_t kBytesPerByte = 24;
constexpr int64_t kSlack = int64_t{64} << 20;

[[noreturn]] void finding(const std::string& what) {
    std::fprintf(stderr, "==fuzz_numerics== %s\n", what.c_str());
    std::abort();
}

void expect_finite(const std::vector<double>& values, const char* what) {
    for (double v : values)
        if (!std::isfinite(v)) finding(std::string(what) + " handed back a value that is not finite");
}

// Knobs: successive small numbers out of one 64-bit hash of the input.
struct Knobs {
    uint64_t h;
    explicit Knobs(const uint8_t* data, size_t size) : h(1469598103934665603ULL) {
        for (size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 1099511628211ULL;
    }
    unsigned next(unsigned n) {
        h = h * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<unsigned>((h >> 33) % n);
    }
};

constexpr double kHuge = std::numeric_limits<double>::max();
constexpr double kOddReals[] = {1.0,      2.014, 1e-300, 1e300, 0.0,     -1.0, std::numeric_limits<double>::quiet_NaN(),
                                HUGE_VAL, 1e-12, 1e10,   kHuge, 4.9e-324};

template <typename F>
void refused_or(F&& f) {
    try {
        f();
    } catch (const std::exception&) {
        // A clean refusal.
    }
}

void grid_numerics(const Tesvarin& t, Knobs& k) {
    const ChkParams::Mol& mol = t.get_params().mol;
    std::vector<double> points = {0, 0, 0, 0.3, -0.2, 0.1, 1e24, 0, 0, 0, 0, -1e300, 2.5, 2.5, 2.5};
    if (mol.coords.size() >= 3) points.insert(points.end(), mol.coords.begin(), mol.coords.begin() + 3);
    const int64_t npoints = static_cast<int64_t>(points.size() / 3);
    const tesvarin::PointSet list{points.data(), npoints, nullptr};
    tesvarin::GridSpec grid;
    grid.origin = {-1.0, -1.0, -1.0};
    grid.axes = {{{0.7, 0, 0}, {0, 0.9, 0}, {0, 0, 0.5}}};
    grid.counts = {2, 3, 5};
    if (k.next(4) == 0) grid.axes[2][2] = 4e23;  // one tile from the nucleus to far out
    const tesvarin::PointSet on_grid{nullptr, 0, &grid};
    tesvarin::EvalOptions options;
    options.tolerance = k.next(2) ? 1e-10 : 0.0;
    options.threads = 1 + k.next(2);

    // Orbitals: one that is there, and an index the file decides or an extreme one.
    // The header's counts are not checked by the reader: any int64, INT64_MIN included.
    const int64_t last_alpha = mol.nae == INT64_MIN ? INT64_MIN : mol.nae - 1;
    const int64_t indices[] = {0, last_alpha, mol.nbe, INT64_MAX, INT64_MIN, -1};
    std::vector<tesvarin::OrbitalRef> orbitals = {{k.next(2) == 1, indices[k.next(6)]}, {false, 0}};
    refused_or([&] {
        std::vector<double> out(static_cast<size_t>(npoints) * orbitals.size());
        tesvarin::evaluate_orbitals(mol, orbitals, list, options, out.data());
        expect_finite(out, "evaluate_orbitals");
    });

    // Densities: every derivative order of the occupied orbitals' density, and a drawn kind and part.
    const tesvarin::DensityPart parts[] = {tesvarin::DensityPart::Total, tesvarin::DensityPart::Spin,
                                           tesvarin::DensityPart::Alpha, tesvarin::DensityPart::Beta};
    for (int derivatives = 0; derivatives <= 2; ++derivatives) {
        const tesvarin::DensityRef ref{derivatives == 0 ? -1 : static_cast<int>(k.next(10)) - 1, parts[k.next(4)],
                                       derivatives};
        refused_or([&] {
            std::vector<double> out(static_cast<size_t>(npoints * tesvarin::density_width(derivatives)));
            tesvarin::evaluate_density(mol, ref, list, options, out.data());
            expect_finite(out, "evaluate_density");
        });
    }

    // A grid density written as a cube, atoms and orbital numbers included.
    refused_or([&] {
        const tesvarin::DensityRef ref{static_cast<int>(k.next(10)) - 1, parts[k.next(4)], 0};
        std::vector<double> values(static_cast<size_t>(tesvarin::grid_point_count(grid)));
        tesvarin::evaluate_density(mol, ref, on_grid, options, values.data());
        expect_finite(values, "the grid density");
        tesvarin::CubeHeader h{"fuzz", "density", grid, {}, {}};
        const auto natoms = std::min<size_t>(mol.atomicnums.size(), mol.coords.size() / 3);
        for (size_t a = 0; a < std::min<size_t>(natoms, 64); ++a)
            h.atoms.push_back({mol.atomicnums[a],
                               kOddReals[k.next(12)],
                               {mol.coords[3 * a], mol.coords[3 * a + 1], mol.coords[3 * a + 2]}});
        if (k.next(2)) {
            h.orbitals = {1, mol.nbasis + 1, INT64_MAX};
            values.resize(values.size() * 3, kOddReals[k.next(12)]);
        }
        tesvarin::write_cube("/dev/null", h, values.data(), 1 + k.next(2));
    });

    // The potential (and field) of a drawn density at the list's points: infinite only on a
    // nucleus (a squared distance of 0 in doubles), by the Coulomb law; finite or refused elsewhere.
    refused_or([&] {
        const bool field = k.next(2) == 1;
        const tesvarin::PotentialRef ref{static_cast<int>(k.next(10)) - 1, parts[k.next(4)], field};
        const int64_t width = tesvarin::potential_width(field);
        std::vector<double> out(static_cast<size_t>(npoints * width));
        tesvarin::evaluate_potential(mol, ref, list, options, out.data());
        const auto natoms = std::min<size_t>(mol.nucchg.size(), mol.coords.size() / 3);
        for (int64_t p = 0; p < npoints; ++p) {
            bool on_nucleus = false;
            for (size_t a = 0; a < natoms && !on_nucleus; ++a) {
                double r2 = 0.0;
                for (size_t i = 0; i < 3; ++i) {
                    const double d = points[static_cast<size_t>(3 * p) + i] - mol.coords[3 * a + i];
                    r2 += d * d;
                }
                on_nucleus = r2 == 0.0;
            }
            for (int64_t c = 0; c < width && !on_nucleus; ++c)
                if (!std::isfinite(out[static_cast<size_t>(p * width + c)]))
                    finding("evaluate_potential handed back a value that is not finite off the nuclei");
        }
    });
}

void thermo_numerics(const Tesvarin& t, Knobs& k) {
    const int64_t natoms = t.get_params().mol.natoms;
    std::vector<double> masses;
    if (k.next(2) && natoms > 0 && natoms < 100000) {
        masses = tesvarin::checkpoint_masses(t);
        masses.resize(static_cast<size_t>(natoms), 12.0);
        masses[k.next(static_cast<unsigned>(natoms))] = kOddReals[k.next(12)];
    }
    refused_or([&] {
        const tesvarin::HarmonicAnalysis h = tesvarin::checkpoint_harmonic(t, masses);
        expect_finite(h.frequencies, "the harmonic analysis");
        expect_finite(h.modes, "the harmonic analysis");
    });
    tesvarin::ThermoOptions o;
    const double temperatures[] = {298.15, 1e-300, 1e300, 1e-3, 5000.0, 0.0, kHuge};
    o.temperature = temperatures[k.next(7)];
    o.pressure = k.next(4) ? 1.0 : kOddReals[k.next(12)];
    o.scale = k.next(4) ? 1.0 : kOddReals[k.next(12)];
    if (k.next(2)) o.quasi_harmonic = {100.0, 100.0, 4.0, 1e-44, 50.0, k.next(2) ? 1.0 : 0.0};
    refused_or([&] {
        const tesvarin::Thermochemistry th = tesvarin::checkpoint_thermochemistry(t, masses, o);
        expect_finite({th.thermal_energy, th.thermal_enthalpy, th.thermal_gibbs, th.total.entropy, th.total.cv,
                       th.q_total.bottom, th.qh_gibbs, th.zero_point_energy},
                      "the thermochemistry");
    });
    refused_or([&] {
        const auto v = tesvarin::checkpoint_vibrations(t);
        if (v && !v->frequencies.empty() && v->frequencies.size() < 4096) {
            const std::vector<double> grid = {0.0, 500.0, 1000.0, 3000.0};
            tesvarin::broaden(v->frequencies, v->ir_intensities, grid, 10.0, tesvarin::LineShape::lorentzian);
        }
    });
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_input::initialise();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_input::write(data, size);
    Knobs k(data, size);
    fuzz_input::live_bytes = fuzz_input::peak_bytes = 0;
    fuzz_input::tracking = true;
    // Every partial read is parsed; the numerics run on the whole read and on one partial read.
    const int partial = static_cast<int>(k.next(7));
    for (int read = 7; read >= 0; --read) {
        std::unique_ptr<Tesvarin> t;
        try {
            t = std::make_unique<Tesvarin>(fuzz_input::path,
                                           tesvarin::ReadOptions{(read & 1) != 0, (read & 2) != 0, (read & 4) != 0});
        } catch (const std::exception&) {
            if (read == 7) break;  // the reader's own harness covers refusals
            continue;
        }
        if (read != 7 && read != partial) continue;
        grid_numerics(*t, k);
        thermo_numerics(*t, k);
    }
    fuzz_input::tracking = false;
    const int64_t limit = kBytesPerByte * static_cast<int64_t>(size) + kSlack;
    if (fuzz_input::peak_bytes > limit)
        finding("the numerics of a " + std::to_string(size) + "-byte file held " +
                std::to_string(fuzz_input::peak_bytes) + " heap bytes, above the limit of " + std::to_string(limit));
    return 0;
}
