// The formatted checkpoint: two preamble lines, then the labelled entries of
// fchk_entries. Values are written as stored (lengths in Bohr, the basis as
// fix_basis left it, densities packed) or as formchk computes them.
#include "tesvarin/fchk_entries.hpp"
#include "tesvarin/fchk_text.hpp"
#include "tesvarin/parser.hpp"
#include "tesvarin/text_output.hpp"

namespace {
// Text entries in whole 12-character pieces and formchk's rounding of real
// scalars in the complete file; the basic file keeps its own forms.
void format(tesvarin::FchkText& f, const tesvarin::FchkEntry& e, bool complete) {
    using Kind = tesvarin::FchkEntry::Kind;
    switch (e.kind) {
        case Kind::IntScalar: f.int_scalar(e.label, e.int_value); break;
        case Kind::RealScalar:
            complete ? f.real_scalar_two_step(e.label, e.real_value) : f.real_scalar(e.label, e.real_value);
            break;
        case Kind::IntArray: f.int_array(e.label, e.int_data(), e.size()); break;
        case Kind::RealArray: f.real_array(e.label, e.real_data(), e.size()); break;
        case Kind::Text: complete ? f.padded_text_array(e.label, e.text) : f.text_array(e.label, e.text); break;
    }
}
}  // namespace

void Tesvarin::write_fchk(const string& fname) const {
    if (!write_whole_file(fname, fchk_text(false))) TESVARIN_THROW("Can not write file: " + fname);
}

void Tesvarin::write_complete_fchk(const string& fname) const {
    // Built whole before the file is opened, so a refused section leaves no file behind.
    const std::string text = fchk_text(true);
    if (!write_whole_file(fname, text)) TESVARIN_THROW("Can not write file: " + fname);
}

std::string Tesvarin::fchk_text(bool complete) const {
    const auto& p = params;
    const auto& mol = p.mol;
    const std::vector<tesvarin::FchkEntry> entries = fchk_entries(complete);
    tesvarin::FchkText f;
    f.out.reserve(4096 + 17 * (mol.amocoeff.size() + mol.bmocoeff.size() + mol.orthbasis.size()));

    f.padded(p.title.size() > 72 ? p.title.substr(0, 71) : p.title, 72);
    f.out += '\n';
    // Each field ends at its first NUL, as a C string would (the info text may hold NULs).
    f.padded(p.jobtype.c_str(), 10);
    f.padded(p.method.c_str(), 60);
    f.padded(p.baset.c_str(), 20);
    f.out += '\n';
    for (const auto& e : entries) format(f, e, complete);
    return std::move(f.out);
}
