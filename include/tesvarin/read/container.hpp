// The checkpoint container: a leading record of four words, then a directory of
// four-word entries (label, start word, end word, extra) that locate each section.
#pragma once

#include <cstdint>

#include "tesvarin/section_labels.hpp"

struct Address {
    int64_t label;
    int64_t start;  // first word of the section's data
    int64_t end;    // one past its last word
    int64_t extra;  // stored, not interpreted
};

// Length of the leading record plus one directory entry, in bytes.
constexpr int64_t kEntryBytes = 32;
// Length of the switch record XLSW in words (LRwX).
constexpr int64_t kLRwX = 200;
// ILSW words that the readers use (counting from 0).
constexpr size_t kIlswIOpCl = 0;            // the SCF-type code IOpCl
constexpr size_t kIlswNaturalOrbitals = 9;  // bit 1 set: a natural-orbital job
constexpr size_t kIlswIrohf = 21;           // the ROHF switch IROHF
constexpr size_t kIlswNoReorient = 25;      // 1: the orientation record must not be applied
constexpr size_t kIlswRlswLength = 57;      // the number of RLSW reals
