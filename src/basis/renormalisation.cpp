// The renormalisation pass over all shells (its messages call it Renor1): each
// shell's coefficients of each L through GetCCB, divided by the old primitive norms,
// normalised as a contraction, multiplied by the new primitive norms, and back
// through PutCCB. Exponents and whole shells repeat across a basis, so both are
// remembered for the pass.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "tesvarin/basis/coefficients.hpp"
#include "tesvarin/basis/normalisation.hpp"
#include "tesvarin/parser.hpp"

namespace {
// A power of two at least `expected`, between 16 and `most`. The tables are caches
// that overwrite on a collision, and a basis repeats far fewer distinct exponents and
// shells than it has primitives and shells.
size_t table_size(size_t expected, size_t most) {
    size_t size = 16;
    while (size < most && size < expected) size *= 2;
    return size;
}

// PrmNrm of an exponent with itself, remembered for the pass: a basis repeats the
// same few exponents on every atom of an element, and the function is pure.
class SelfNorms {
public:
    // Sized for `expected` distinct exponents, so a small basis keeps a small table.
    explicit SelfNorms(size_t expected) : slots_(table_size(expected, kSlots)), mask_(slots_.size() - 1) {}

    double operator()(int64_t type, int64_t L, double e) {
        uint64_t bits;
        std::memcpy(&bits, &e, sizeof bits);
        const uint64_t key = bits * 0x9E3779B97F4A7C15ull ^ static_cast<uint64_t>(L * 4 + type);
        Slot& slot = slots_[(key >> 40) & mask_];
        if (!slot.used || slot.bits != bits || slot.L != L || slot.type != type) {
            slot = Slot{bits, PrmNrm(type, L, e, e), static_cast<int32_t>(L), static_cast<int16_t>(type), true};
        }
        return slot.value;
    }

private:
    struct Slot {
        uint64_t bits = 0;
        double value = 0;
        int32_t L = 0;
        int16_t type = 0;
        bool used = false;
    };
    static constexpr size_t kSlots = 4096;
    std::vector<Slot> slots_;
    size_t mask_;
};

// Whole shells of a pass, remembered: every atom of an element repeats the same
// contractions, and a pass is a pure function of L, the exponents and the
// coefficients. Keys are compared bit for bit, so a hit returns exactly what the
// arithmetic would.
class ShellMemo {
public:
    // Sized for `expected` shells, so a small basis keeps a small table; the pool of
    // remembered shells stops at `most_doubles`.
    ShellMemo(size_t expected, size_t most_doubles)
        : slots_(table_size(expected, kSlots)), mask_(slots_.size() - 1), max_pool_(std::min(most_doubles, kMaxPool)) {}

    // The multiplications do not depend on the running value, so they overlap; only
    // a rotate and two exclusive ors are chained from one primitive to the next.
    static uint64_t key(int64_t L, int64_t n, const double* e, const double* c) {
        uint64_t h = 0xcbf29ce484222325ull ^ static_cast<uint64_t>(L * 131 + n);
        for (int64_t i = 0; i < n; ++i) {
            uint64_t eb, cb;
            std::memcpy(&eb, &e[i], sizeof eb);
            std::memcpy(&cb, &c[i], sizeof cb);
            h = ((h << 17) | (h >> 47)) ^ (eb * 0x9E3779B97F4A7C15ull) ^ (cb * 0xC2B2AE3D27D4EB4Full);
        }
        h ^= h >> 29;
        h *= 0xBF58476D1CE4E5B9ull;
        return h ^ (h >> 32);
    }
    // The coefficients remembered for these exponents and coefficients, or nullptr.
    const double* find(uint64_t key, int64_t L, int64_t n, const double* e, const double* c) const {
        const Slot& s = slots_[key & mask_];
        if (!s.used || s.key != key || s.L != L || s.n != n) return nullptr;
        const double* stored = pool_.data() + s.offset;
        // A shell without primitives has nothing to compare (and an empty pool has no storage).
        if (n > 0 && !(same_bits(stored, e, n) && same_bits(stored + n, c, n))) return nullptr;
        return stored + 2 * n;
    }
    void remember(uint64_t key, int64_t L, int64_t n, const double* e, const double* c_in, const double* c_out) {
        if (pool_.size() + 3 * static_cast<size_t>(n) > max_pool_) return;
        slots_[key & mask_] = Slot{key, L, n, pool_.size(), true};
        pool_.insert(pool_.end(), e, e + n);
        pool_.insert(pool_.end(), c_in, c_in + n);
        pool_.insert(pool_.end(), c_out, c_out + n);
    }

private:
    // Bit-for-bit equality of n doubles (a contraction has a handful: no library call).
    static bool same_bits(const double* a, const double* b, int64_t n) {
        uint64_t diff = 0;
        for (int64_t i = 0; i < n; ++i) {
            uint64_t x, y;
            std::memcpy(&x, a + i, sizeof x);
            std::memcpy(&y, b + i, sizeof y);
            diff |= x ^ y;
        }
        return diff == 0;
    }

    struct Slot {
        uint64_t key = 0;
        int64_t L = 0, n = 0;
        size_t offset = 0;
        bool used = false;
    };
    static constexpr size_t kSlots = 1024;
    static constexpr size_t kMaxPool = size_t{1} << 20;  // doubles: 8 MB of distinct shells at most
    std::vector<Slot> slots_;
    size_t mask_;
    size_t max_pool_;
    std::vector<double> pool_;  // exponents, coefficients in, coefficients out, per shell
};
}  // namespace

void Tesvarin::convert_cc(int64_t oldPrimNorm, int64_t newPrimNorm, int64_t contrNorm, int64_t spare) {
    auto& mol = params.mol;
    auto& b = mol.bparams;
    // The coefficients of each shell and L come through GetCCB's copy into one buffer for the
    // whole pass (a fresh buffer per shell costs more than the pass) and go back through PutCCB.
    std::vector<double> c(tesvarin::kMaxCon, 0.0), norms(tesvarin::kMaxCon, 0.0), input(tesvarin::kMaxCon, 0.0);
    SelfNorms self_norm(b.primexp.size());
    // The memo's pool holds at most as many doubles as the file has words.
    ShellMemo memo(static_cast<size_t>(std::max<int64_t>(mol.NShell, 0)),
                   static_cast<size_t>(serializer->get_fsize() / 8));
    for (int64_t k = 0; k < mol.NShell; ++k) {
        const int64_t type = b.shelltypes[k], cons = b.shellcons[k], n = b.shellnprim[k];
        if (n > tesvarin::kMaxCon - 1) TESVARIN_THROW("MaxCon too small in Renor1");
        if (cons == 0 && type < 0) continue;
        for (int64_t L = tesvarin::lowest_l(type, cons); L <= type; ++L) {
            copy_ccb(k, L, c);
            const double* e = b.primexp.data() + (b.primstart[k] - 1);
            for (int64_t i = 0; i < n; ++i) {
                if (e[i] < 1e-6) TESVARIN_THROW("Missing exponents in basis set");
            }
            const uint64_t key = ShellMemo::key(L, n, e, c.data());
            if (const double* done = memo.find(key, L, n, e, c.data())) {
                std::copy_n(done, n, c.begin());
                PutCCB(k, L, c);
                continue;
            }
            std::copy_n(c.begin(), n, input.begin());
            if (oldPrimNorm != 0) {
                for (int64_t i = 0; i < n; ++i) c[i] /= std::sqrt(self_norm(oldPrimNorm, L, e[i]));
            }
            if (contrNorm == 1 || contrNorm == 2) {
                for (int64_t i = 0; i < n; ++i) norms[i] = self_norm(contrNorm, L, e[i]);
                NormCC(contrNorm, k, spare, L, n, e, c, norms);
            }
            if (newPrimNorm != 0) {
                for (int64_t i = 0; i < n; ++i) c[i] *= std::sqrt(self_norm(newPrimNorm, L, e[i]));
            }
            memo.remember(key, L, n, e, input.data(), c.data());
            PutCCB(k, L, c);
        }
    }
}
