// The formatted checkpoint, written from the parse's records: the entries in the
// order the file's formchk writes them (fchk_order.cpp), then formatted and
// streamed to the file (fchk_file.cpp).
#pragma once

#include <string>
#include <vector>

#include "tesvarin/records.hpp"
#include "tesvarin/sections/further_sections.hpp"
#include "tesvarin/write/fchk_entry.hpp"

namespace tesvarin {

// What the formatted checkpoint is written from.
struct FchkRecords {
    const ChkParams& params;
    const Switches& switches;
    const FurtherSections& further;
};

// The entries of the basic file (complete = false) or of the complete one (every entry formchk
// writes, as the formchk of the file's program version), in file order. With `skipped`, a damaged
// further section costs only its own entries and its message lands there (with a note on a program
// version whose formchk is not known); without it, the damaged section's message is raised.
std::vector<FchkEntry> fchk_entries(const FchkRecords& r, bool complete, std::vector<std::string>* skipped);

// Writes the two preamble lines and `entries` to `fname`, long real arrays formatted on `threads`
// threads (0: both cores of a two-core machine), streamed in bounded chunks. False (errno set) when
// the file cannot be opened or written.
bool write_fchk(const ChkParams& params, const std::vector<FchkEntry>& entries, const std::string& fname, bool complete,
                unsigned threads);

}  // namespace tesvarin
