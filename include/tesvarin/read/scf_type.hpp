// The SCF-type code IOpCl split into its factors: bit 0 says two spin blocks, bit 1
// complex values, bit 2 two components; codes above 7 and above 15 carry further flags.
#pragma once

#include <cstdint>

namespace tesvarin {

// The factors the readers size orbitals and densities with.
struct ScfType {
    int64_t spin_blocks = 1;  // 2 for unrestricted
    int64_t value_kind = 1;   // 2 for complex
    int64_t components = 1;   // 2 for two-component (generalised)
};

}  // namespace tesvarin
