// Coefficient access for one shell and angular momentum: GetCCB copies a shell's
// coefficients of one L out into a buffer of kMaxCon slots, PutCCB copies them back.
#include "tesvarin/basis/coefficients.hpp"

#include "tesvarin/parser.hpp"

namespace {
// Bounded element-wise copy of n doubles from src[srcOffset..] to dst[dstOffset..].
template <typename T>
void copy_vec(const std::vector<T>& src, std::vector<T>& dst, int64_t n, int64_t srcOffset, int64_t dstOffset) {
    if (n <= 0) return;
    if (srcOffset < 0 || srcOffset + n > static_cast<int64_t>(src.size())) TESVARIN_THROW("copy_vec: src out of range");
    if (dstOffset < 0 || dstOffset + n > static_cast<int64_t>(dst.size())) TESVARIN_THROW("copy_vec: dst out of range");
    for (int64_t i = 0; i < n; ++i) dst[dstOffset + i] = src[srcOffset + i];
}

// The coefficient array that holds angular momentum L, and the shell's 0-based start in it.
template <typename Basis>
auto& coefficients_for(Basis& b, int64_t L) {
    return L == 0 ? b.coefs : L == 1 ? b.coefp : L == 2 ? b.coefd : b.coefhi;
}
int64_t start_for(const ChkParams::Mol::Bparams& b, int64_t shell, int64_t L) {
    return (L == 0 || L == 1 ? b.primstart[shell] : b.dfstart[shell]) - 1;
}
}  // namespace

namespace tesvarin {

int64_t lowest_l(int64_t type, int64_t cons) {
    if (type == 1) return cons == 1 ? 1 : 0;
    return cons == 0 ? 0 : type;
}

}  // namespace tesvarin

std::vector<double> Tesvarin::GetCCB(int64_t shell, int64_t L) {
    const auto& mol = params.mol;
    const auto& b = mol.bparams;
    if (shell < 0 || shell >= mol.NShell) TESVARIN_THROW("Bad arguments to GetCCB");
    const int64_t type = b.shelltypes[shell];
    if (L < tesvarin::lowest_l(type, b.shellcons[shell]) || L > type) TESVARIN_THROW("L out of range in GetCCB");
    std::vector<double> values(tesvarin::kMaxCon, 0.0);
    copy_ccb(shell, L, values);
    return values;
}

void Tesvarin::copy_ccb(int64_t shell, int64_t L, std::vector<double>& values) const {
    const auto& b = params.mol.bparams;
    copy_vec(coefficients_for(b, L), values, b.shellnprim[shell], start_for(b, shell, L), 0);
}

void Tesvarin::PutCCB(int64_t shell, int64_t L, const std::vector<double>& values) {
    auto& mol = params.mol;
    auto& b = mol.bparams;
    if (shell < 0 || shell >= mol.NShell) TESVARIN_THROW("Bad arguments to PutCCB");
    const int64_t type = b.shelltypes[shell];
    if (L < tesvarin::lowest_l(type, b.shellcons[shell]) || L > type) TESVARIN_THROW("L out of range in PutCCB");
    copy_vec(values, coefficients_for(b, L), b.shellnprim[shell], 0, start_for(b, shell, L));
}
