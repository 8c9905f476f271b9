// Classical (force-field) parameters per element (800): word 1 MaxAn, 2 NIntPar,
// 3 NRealPar, 4 NBits, 5 LenBitVec; from word 16 the read and default bit maps
// [MaxAn*LenBitVec each], the integer parameters [NIntPar*MaxAn] and the real
// parameters [NRealPar*MaxAn].
#include "tesvarin/sections/further_sections.hpp"

namespace tesvarin {

ClassicalParameters read_classical_parameters(const SectionView& s) {
    ClassicalParameters c;
    c.max_an = s.word(1);
    c.nintpar = s.word(2);
    c.nrealpar = s.word(3);
    c.nbits = s.word(4);
    c.lenbitvec = s.word(5);
    s.expect_count("MaxAn (word 1)", c.max_an, 0, s.size());
    s.expect_count("NIntPar (word 2)", c.nintpar, 0, s.size());
    s.expect_count("NRealPar (word 3)", c.nrealpar, 0, s.size());
    s.expect_count("LenBitVec (word 5)", c.lenbitvec, 0, s.size());
    const Checked an(c.max_an), ni(c.nintpar), nr(c.nrealpar), lbv(c.lenbitvec);
    const Checked bitmap = an * lbv;
    s.expect_length(16 + 2 * bitmap + (ni + nr) * an, "16 + 2*MaxAn*LenBitVec + (NIntPar + NRealPar)*MaxAn",
                    "16 + 2*" + an.str() + "*" + lbv.str() + " + (" + ni.str() + " + " + nr.str() + ")*" + an.str());
    c.read_bitmap = s.ints(16, bitmap);
    c.default_bitmap = s.ints(16 + bitmap, bitmap);
    c.int_params = s.ints(16 + 2 * bitmap, ni * an);
    c.real_params = s.reals(16 + 2 * bitmap + ni * an, nr * an);
    return c;
}

}  // namespace tesvarin
