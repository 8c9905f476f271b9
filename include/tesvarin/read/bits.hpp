// Bit unpacking of the integer words of the switch record and the section headers.
#pragma once

#include <cstdint>

// Whether bit `bit` (0 = least significant, 63 = sign) of `value` is set.
bool LBit(int64_t value, int bit);

// Splits a word into its two 32-bit halves; a half whose top bit is set reads as -1.
void BNUPak(int64_t value, int& high, int& low);
