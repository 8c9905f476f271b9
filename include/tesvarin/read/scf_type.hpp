// The SCF-type code IOpCl split into its factors: bit 0 says two spin blocks, bit 1
// complex values, bit 2 two components; codes above 7 and above 15 carry further flags.
#pragma once

#include <cstdint>

namespace tesvarin {

struct ScfType {
    int64_t spin_blocks = 1;  // 2 for unrestricted
    int64_t value_kind = 1;   // 2 for complex
    int64_t components = 1;   // 2 for two-component (generalised)
    bool above7 = false;
    int64_t density_blocks = 1;  // 2 also for the generalised codes 6 and 14
    int64_t above15 = 0;
};

// The factors of IOpCl; a negative code reads as 0. Throws for a code the reader does not know.
ScfType decode_sc(int64_t IOpCl);

}  // namespace tesvarin
