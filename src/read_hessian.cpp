// Step 5: the Cartesian force constants, rotated into the atoms' frame when the
// orientation record was applied, and expanded into the full symmetric Hessian.
#include "tesvarin/parser.hpp"
#include "tesvarin/utils.hpp"

void Tesvarin::read_hessian() {
    auto& mol = params.mol;
    int index = -1;
    if (!has_magic(MagicNum::ForceConst, index)) return;
    seek_section(index);
    const int64_t n = 3 * mol.natoms;
    read_counted(mol.ffpacked, n * (n + 1) / 2, "force constant count");
    if (rotated) RotFF1(mol.natoms, mol.stdrot.data(), mol.ffpacked);

    // The lower triangle plus its transpose, diagonal halved, computed element by
    // element: v + 0 off the diagonal (turns -0 into +0), (v + v) / 2 on it.
    mol.hessian.resize(n, n);
    const double* packed = mol.ffpacked.data();
    for (int64_t i = 0; i < n; ++i) {
        for (int64_t j = 0; j < i; ++j) {
            const double v = *packed++ + 0.0;
            mol.hessian(i, j) = v;
            mol.hessian(j, i) = v;
        }
        const double d = *packed++;
        mol.hessian(i, i) = (d + d) * 0.5;
    }
}
