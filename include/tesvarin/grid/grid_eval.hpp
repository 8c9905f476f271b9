// Values of orbitals and densities of a checkpoint's wavefunction at points in space.
//
// The basis is read from the parsed record as the formatted checkpoint holds it (signed
// shell-type codes, contraction coefficients of normalised primitives, shell centres in
// Bohr); functions come in the fchk's order and normalisation: Cartesian functions each
// normalised on their own (xx, yy, zz, xy, xz, yz for D; xxx, yyy, zzz, xyy, xxy, xxz, xzz,
// yzz, yyz, xyz for F; reverse alphabetical from G on), pure ones as real solid harmonics
// in the order c0, c1, s1, c2, s2, ...; SP shells give the S function, then x, y, z.
//
// Work goes in blocks of at most kBlockPoints points, spread over threads; each thread holds
// the values of a slab of at most 1024 basis functions (or one shell) at its block's points,
// about 5 MiB with second derivatives whatever the basis, never a basis-by-grid matrix. The
// header's electron counts and the orbitals asked for are held against the stored orbitals,
// and a value that leaves the range of a double is refused, never returned.
//
// Screening (tolerance eps > 0): a primitive is left out at the points where it, and the
// derivatives asked for, are below eps / nprim in every function of its shell, so each left
// out basis function value (and derivative) is below eps. An orbital with coefficients c
// then changes by at most eps * sum |c|; a density from the matrix D by at most
// eps * (2 sum_mn |D_mn| |chi_n(r)| + eps sum_mn |D_mn|), plus, for a stored matrix, the
// eigenpairs dropped from it (|lambda| below 1e-14 of the largest), at most
// 1e-14 * max|lambda| * sum_m chi_m(r)^2. With eps = 0 nothing is left out.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "tesvarin/records.hpp"

namespace tesvarin {

constexpr int64_t kBlockPoints = 128;

// A regular grid: point (i, j, k) is origin + i axes[0] + j axes[1] + k axes[2], Bohr;
// points are numbered with k fastest, as a cube file lists them.
struct GridSpec {
    std::array<double, 3> origin{};
    std::array<std::array<double, 3>, 3> axes{};
    std::array<int64_t, 3> counts{};
};

// One orbital: alpha or beta, 0-based index. Beta orbitals of a restricted wavefunction are
// its alpha ones.
struct OrbitalRef {
    bool beta = false;
    int64_t index = 0;
};

enum class DensityPart { Total, Spin, Alpha, Beta };

// A density: kind 0..8 is the stored matrix of that kind (labdens order), -1 the density of
// the occupied orbitals; `derivatives` 0 gives the value, 1 also the gradient, 2 also the
// Laplacian (per point: rho, then d/dx, d/dy, d/dz, then the Laplacian).
struct DensityRef {
    int kind = 0;
    DensityPart part = DensityPart::Total;
    int derivatives = 0;
};

struct EvalOptions {
    double tolerance = 0.0;  // eps above; 0 turns screening off
    unsigned threads = 0;    // 0: every core
    // Called now and then on the calling thread with the fraction done; false stops the work
    // (the evaluation then throws). Never called from the other threads.
    std::function<bool(double)> progress;
};

// Where the values go: one row of `width` values per point, rows in point order.
struct PointSet {
    const double* points = nullptr;  // n x 3, Bohr, when not a grid
    int64_t count = 0;
    const GridSpec* grid = nullptr;
};

int64_t density_width(int derivatives);

// Values of the orbitals at every point: out holds count x orbitals.size() values.
void evaluate_orbitals(const ChkParams::Mol& mol, const std::vector<OrbitalRef>& orbitals, const PointSet& points,
                       const EvalOptions& options, double* out);

// Values of k combinations of the basis functions given by their coefficients (k rows of nbasis,
// as orbitals are stored; natural orbitals, say): out holds count x k values.
void evaluate_coefficients(const ChkParams::Mol& mol, const std::vector<double>& rows, int64_t k,
                           const PointSet& points, const EvalOptions& options, double* out);

// The density (and derivatives): out holds count x density_width(derivatives) values.
void evaluate_density(const ChkParams::Mol& mol, const DensityRef& density, const PointSet& points,
                      const EvalOptions& options, double* out);

// Number of points of a grid, checked against overflow (throws when it does not fit).
int64_t grid_point_count(const GridSpec& grid);

}  // namespace tesvarin
