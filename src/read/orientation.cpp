// Step 4, the orientation: the orientation record's translation and rotation of
// the atoms, and the agreement of the atom coordinates with the shell centres,
// which the step restores from one side or the other. All in Bohr.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "tesvarin/parser.hpp"
#include "tesvarin/read/rotation.hpp"

namespace {
constexpr double kSameCentre2 = 1e-8;  // squared distance, Bohr^2
constexpr int64_t kOrientWords = 38;

void print_line(const char* text) {
    std::fputs(text, stdout);
    std::fflush(stdout);
}

// Copies each shell's centre to its atom (to_atoms) or each atom to its shells' centres;
// shells that name no atom of the molecule are left alone.
void copy_centres(ChkParams::Mol& mol, bool to_atoms) {
    auto& b = mol.bparams;
    for (int64_t i = 0; i < mol.NShell; ++i) {
        const int64_t a = b.shell2map[i];
        if (a < 1 || a > mol.natoms) continue;
        double* xyz = &mol.coords[static_cast<size_t>(3 * (a - 1))];
        double* centre[3] = {&b.shellx[i], &b.shelly[i], &b.shellz[i]};
        for (int k = 0; k < 3; ++k) {
            if (to_atoms) {
                xyz[k] = *centre[k];
            } else {
                *centre[k] = xyz[k];
            }
        }
    }
}
}  // namespace

void Tesvarin::reconcile_orientation(bool have_basis) {
    auto& mol = params.mol;
    int index = -1;
    rotated = switches.ilsw[kIlswNoReorient] != 1 && has_magic(tesvarin::section::kOrientation, index);
    if (rotated) {
        int64_t w[kOrientWords];
        open_section(index).fetch(w, 0, kOrientWords);
        std::memcpy(mol.orihdr.data(), w, 2 * 8);
        std::memcpy(mol.oritab.data(), w + 2, 24 * 8);
        std::memcpy(mol.stdrot.data(), w + 26, 9 * 8);
        std::memcpy(mol.stdtrans.data(), w + 35, 3 * 8);
        if (!have_basis) {
            translate();
            rotate();
            return;
        }
        if (!check_coor()) {
            translate();
            if (!check_coor()) {
                rotate();
                if (!check_coor()) {
                    print_line("Warning! Use Basis coords\n");
                    copy_centres(mol, true);
                }
            }
        }
    }
    if (have_basis && !check_coor()) {
        print_line("Warning! Coordinates do not match /B/. Transferring coordinates from /Mol/ to /B/\n");
        copy_centres(mol, false);
    }
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
    const auto atoms = static_cast<size_t>(std::max<int64_t>(mol.natoms, 0));
    tesvarin::Rotation(mol.stdrot).vectors_in_place(mol.coords.data(), atoms);
}
