// The checkpoint container: a leading record of four words, then a directory of
// four-word entries (label, start word, end word, extra) that locate each section.
#pragma once

#include <cstdint>

struct Address {
    int64_t label;
    int64_t start;  // first word of the section's data
    int64_t end;    // one past its last word
    int64_t extra;  // stored, not interpreted
};

// Section labels, as the program numbers its records.
enum class MagicNum : int64_t {
    Gen = 501,         // general scalar array, 1000 reals
    Label = 502,       // title, route and orbital-label tokens
    OrbEne = 522,      // orbital energies, alpha then beta
    AlphaMO = 524,     // alpha MO coefficients
    BetaMO = 526,      // beta MO coefficients
    Rec534 = 534,      // only its presence matters (ROHF IOpCl adjustment)
    Orient = 551,      // rotation and translation into the standard orientation
    ForceConst = 585,  // Cartesian force constants, packed lower triangle
    Densities = 603,   // one-particle densities of up to nine kinds
    Basis = 670,       // basis-set header and arrays
    OrthBasis = 685,   // orthonormal basis
    Version = 801,     // program version text
    Info = 993,        // Info1-9, method and basis-set names
    Mol = 997,         // molecule: atoms, charges, coordinates
    XLSW = 998,        // switch record: ILSW then RLSW
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
