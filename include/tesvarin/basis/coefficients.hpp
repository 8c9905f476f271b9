// Coefficient access for one shell and angular momentum, in the internal shell
// encoding (before the basis fix-up ends): Tesvarin::GetCCB and Tesvarin::PutCCB.
#pragma once

#include <cstdint>

namespace tesvarin {

constexpr int64_t kMaxCon = 100;  // slots in one coefficient buffer

// Lowest angular momentum of a shell in the internal encoding.
int64_t lowest_l(int64_t type, int64_t cons);

}  // namespace tesvarin
