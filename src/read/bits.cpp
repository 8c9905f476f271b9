#include "tesvarin/read/bits.hpp"

#include "tesvarin/error.hpp"

bool LBit(int64_t value, int bit) {
    if (static_cast<unsigned>(bit) > 63u) TESVARIN_THROW("Bit number out of range in LBit");
    if (bit == 63) return value < 0;
    return ((value >> bit) & 1) != 0;
}

void BNUPak(int64_t value, int& high, int& low) {
    high = value < 0 ? -1 : static_cast<int>(value >> 32);
    low = (value & 0x80000000LL) != 0 ? -1 : static_cast<int>(value & 0x7fffffffLL);
}
