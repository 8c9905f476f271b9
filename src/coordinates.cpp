// Agreement of the atom coordinates with the shell centres, and the orientation
// record's translation and rotation of the atoms. All in Bohr.
#include "tesvarin/parser.hpp"

namespace {
constexpr double kSameCentre2 = 1e-8;  // squared distance, Bohr^2
}

bool Tesvarin::check_coor() const {
    const auto& mol = params.mol;
    const auto& b = mol.bparams;
    for (int64_t i = 0; i < mol.NShell; ++i) {
        const int64_t a = b.shell2map[i];
        if (a > mol.natoms) TESVARIN_THROW("atom id out of range");
        if (a <= 0) continue;
        const double* xyz = &mol.coords[static_cast<size_t>(3 * (a - 1))];
        const double dx = xyz[0] - b.shellx[i], dy = xyz[1] - b.shelly[i], dz = xyz[2] - b.shellz[i];
        if (dx * dx + dy * dy + dz * dz > kSameCentre2) return false;
    }
    return true;
}

void Tesvarin::translate() {
    auto& mol = params.mol;
    for (int64_t a = 0; a < mol.natoms; ++a) {
        for (int k = 0; k < 3; ++k) mol.coords[static_cast<size_t>(3 * a + k)] += mol.stdtrans[k];
    }
}

void Tesvarin::rotate() {
    auto& mol = params.mol;
    const auto& M = mol.stdrot;  // M(i, j) = stdrot[i + 3j]
    for (int64_t a = 0; a < mol.natoms; ++a) {
        double* r = &mol.coords[static_cast<size_t>(3 * a)];
        const double x = r[0], y = r[1], z = r[2];
        r[0] = M[0] * x + M[3] * y + M[6] * z;
        r[1] = M[1] * x + M[4] * y + M[7] * z;
        r[2] = M[2] * x + M[5] * y + M[8] * z;
    }
}
