#include "tesvarin/grid/combinations.hpp"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <utility>

#include "tesvarin/checked.hpp"
#include "tesvarin/error.hpp"
#include "tesvarin/triangle.hpp"

namespace tesvarin {

void refuse_evaluation(const std::string& what) { TESVARIN_THROW("Grid evaluation: " + what); }

namespace {
// Eigenvalues of a stored density below this fraction of the largest are dropped.
constexpr double kDroppedEigenvalue = 1e-14;

void check_real_one_component(const ChkParams::Mol& mol) {
    if (mol.value_kind != 1 || mol.components != 1)
        refuse_evaluation("complex and two-component wavefunctions are not evaluated");
}

// Orbitals stored in the alpha or beta set (a restricted wavefunction's beta set is its alpha one).
int64_t stored_orbitals(const ChkParams::Mol& mol, bool beta) {
    const auto& set = beta && !mol.bmocoeff.empty() ? mol.bmocoeff : mol.amocoeff;
    return mol.nbasis > 0 ? static_cast<int64_t>(set.size()) / mol.nbasis : 0;
}

// Orbital `index` of the alpha or beta set as nbasis coefficients.
const double* orbital_row(const ChkParams::Mol& mol, bool beta, int64_t index) {
    const auto& set = beta && !mol.bmocoeff.empty() ? mol.bmocoeff : mol.amocoeff;
    const int64_t nmo = stored_orbitals(mol, beta);
    if (index < 0 || index >= nmo) {
        // The 1-based number, written without index + 1 overflowing at INT64_MAX.
        const std::string number =
            index < 0 ? std::to_string(index + 1) : std::to_string(static_cast<uint64_t>(index) + 1);
        refuse_evaluation(std::string(beta ? "beta" : "alpha") + " orbital " + number + " asked for; the " +
                          "checkpoint holds " + std::to_string(nmo));
    }
    return set.data() + index * mol.nbasis;
}

void add_column(Combinations& c, const double* coefficients, int64_t nbasis, double lambda) {
    c.lambda.push_back(lambda);
    c.w.insert(c.w.end(), coefficients, coefficients + nbasis);
    ++c.k;
}

// The transposed layout the blocks gather from: row m of w holds the k values of function m.
void transpose_rows(Combinations& c, int64_t nbasis) {
    std::vector<double> t(c.w.size());
    for (int64_t j = 0; j < c.k; ++j)
        for (int64_t m = 0; m < nbasis; ++m)
            t[static_cast<size_t>(m * c.k + j)] = c.w[static_cast<size_t>(j * nbasis + m)];
    c.w.swap(t);
}
}  // namespace

Combinations orbital_combinations(const ChkParams::Mol& mol, const std::vector<OrbitalRef>& orbitals) {
    check_real_one_component(mol);
    Combinations c;
    for (const auto& o : orbitals) add_column(c, orbital_row(mol, o.beta, o.index), mol.nbasis, 1.0);
    transpose_rows(c, mol.nbasis);
    return c;
}

Combinations occupied_combinations(const ChkParams::Mol& mol, DensityPart part) {
    check_real_one_component(mol);
    const double alpha_sign = part == DensityPart::Beta ? 0.0 : 1.0;
    const double beta_sign = part == DensityPart::Alpha ? 0.0 : part == DensityPart::Spin ? -1.0 : 1.0;
    // The header's electron counts size nothing the reader allocates: held against the stored
    // orbitals here, before they bound the loop.
    for (const auto& [beta, count] : {std::pair<bool, int64_t>{false, mol.nae}, {true, mol.nbe}}) {
        const int64_t nmo = stored_orbitals(mol, beta);
        if (count < 0 || count > nmo)
            refuse_evaluation(std::to_string(count) + (beta ? " beta" : " alpha") +
                              " electrons, but the checkpoint "
                              "holds " +
                              std::to_string(nmo) + (beta ? " beta" : " alpha") + " orbitals");
    }
    Combinations c;
    const bool restricted = mol.bmocoeff.empty();
    for (int64_t i = 0; i < std::max(mol.nae, mol.nbe); ++i) {
        const double a = i < mol.nae ? alpha_sign : 0.0, b = i < mol.nbe ? beta_sign : 0.0;
        if (restricted) {
            if (a + b != 0.0) add_column(c, orbital_row(mol, false, i), mol.nbasis, a + b);
        } else {
            if (a != 0.0) add_column(c, orbital_row(mol, false, i), mol.nbasis, a);
            if (b != 0.0) add_column(c, orbital_row(mol, true, i), mol.nbasis, b);
        }
    }
    transpose_rows(c, mol.nbasis);
    return c;
}

namespace {
// The packed triangle of stored matrix `kind` for `part`, unpacked: total, spin,
// alpha = (total + spin) / 2, beta = (total - spin) / 2.
Eigen::MatrixXd stored_matrix(const ChkParams::Mol& mol, int kind, DensityPart part) {
    check_real_one_component(mol);
    const int64_t n = mol.nbasis;
    if (n <= 0) refuse_evaluation("the checkpoint holds no basis functions");  // and Eigen takes no 0 x 0 matrix
    Checked length = Checked(n) * (Checked(n) + 1);
    if (!length.ok() || n > 1 << 20)
        refuse_evaluation("nbasis " + std::to_string(n) + " is too large for a density matrix");
    const auto packed = static_cast<size_t>(length.value() / 2);
    const auto& total = mol.totdens[static_cast<size_t>(kind)];
    const auto& spin = mol.spindens[static_cast<size_t>(kind)];
    if (total.size() != packed)
        refuse_evaluation(std::string("the checkpoint holds no ") + labdens[kind] + " (total) for " +
                          std::to_string(n) + " basis functions");
    const bool need_spin = part != DensityPart::Total;
    if (need_spin && spin.size() != packed && !(spin.empty() && mol.nae == mol.nbe))
        refuse_evaluation(std::string("the checkpoint holds no ") + labdens[kind] + " spin density");
    const bool has_spin = need_spin && spin.size() == packed;
    const double ct = part == DensityPart::Spin ? 0.0 : part == DensityPart::Total ? 1.0 : 0.5;
    const double cs = part == DensityPart::Spin    ? 1.0
                      : part == DensityPart::Alpha ? 0.5
                      : part == DensityPart::Beta  ? -0.5
                                                   : 0.0;
    std::vector<double> tri(packed);
    for (size_t i = 0; i < packed; ++i) tri[i] = ct * total[i] + (has_spin ? cs * spin[i] : 0.0);
    Eigen::MatrixXd full(n, n);
    unpack_triangle(tri.data(), n, full.data());  // symmetric: row or column major alike
    return full;
}
}  // namespace

Combinations matrix_combinations(const ChkParams::Mol& mol, int kind, DensityPart part, bool truncate) {
    const int64_t n = mol.nbasis;
    const Eigen::MatrixXd full = stored_matrix(mol, kind, part);
    Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eigen(full);
    if (eigen.info() != Eigen::Success)
        refuse_evaluation(std::string("the ") + labdens[kind] + " matrix could not be diagonalised");
    const Eigen::VectorXd& values = eigen.eigenvalues();
    const double largest = n > 0 ? values.cwiseAbs().maxCoeff() : 0.0;
    Combinations c;
    for (int64_t j = 0; j < n; ++j) {
        if (values[j] == 0.0 || (truncate && std::fabs(values[j]) <= kDroppedEigenvalue * largest)) continue;
        add_column(c, eigen.eigenvectors().col(j).data(), n, values[j]);
    }
    transpose_rows(c, n);
    return c;
}

std::vector<double> density_matrix(const ChkParams::Mol& mol, int kind, DensityPart part) {
    const int64_t n = mol.nbasis;
    if (kind >= 0) {
        const Eigen::MatrixXd full = stored_matrix(mol, kind, part);
        return std::vector<double>(full.data(), full.data() + full.size());
    }
    const Combinations c = occupied_combinations(mol, part);
    using RowMajor = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;
    const Eigen::Map<const RowMajor> w(c.w.data(), n, c.k);  // row m: the k weights of function m
    const Eigen::Map<const Eigen::VectorXd> lambda(c.lambda.data(), c.k);
    std::vector<double> d(static_cast<size_t>(n * n));
    Eigen::Map<Eigen::MatrixXd>(d.data(), n, n) = w * lambda.asDiagonal() * w.transpose();
    return d;
}

}  // namespace tesvarin
