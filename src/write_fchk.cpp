// The formatted checkpoint: two preamble lines, then labelled scalars and arrays
// in the fixed order that fchk readers expect. Values are written as stored
// (lengths in Bohr, the basis as fix_basis left it, densities packed).
#include <algorithm>
#include <cmath>

#include "tesvarin/number_format.hpp"
#include "tesvarin/parser.hpp"
#include "tesvarin/text_output.hpp"

namespace {
using tesvarin::append_int;
using tesvarin::append_sci;
using tesvarin::append_uint;

void put_padded(std::string& out, const std::string& text, size_t width) {
    out += text;
    if (text.size() < width) out.append(width - text.size(), ' ');
}

// "%16.8E", except that a magnitude printing with a three-digit negative exponent
// would fill all 16 columns and run into a negative neighbour: such values are zero.
void put_real(std::string& out, double v) {
    const size_t start = out.size();
    append_sci(out, v, 16, 8);
    if (std::fabs(v) < 1e-98 && out[out.size() - 4] == '-') {
        out.resize(start);
        out += "  0.00000000E+00";
    }
}

class FchkText {
public:
    std::string out;

    void int_scalar(const char* label, int64_t v) {
        put_padded(out, label, 40);
        out += "   I     ";
        append_int(out, v, 12);
        out += '\n';
    }
    void real_scalar(const char* label, double v) {
        put_padded(out, label, 40);
        out += "   R     ";
        append_sci(out, v, 22, 15);
        out += '\n';
    }
    void int_array(const char* label, const int64_t* v, size_t n) {
        header(label, 'I', n);
        for (size_t i = 0; i < n; ++i) {
            append_int(out, v[i], 12);
            if (i % 6 == 5 || i + 1 == n) out += '\n';
        }
    }
    void real_array(const std::string& label, const double* v, size_t n) {
        header(label, 'R', n);
        for (size_t i = 0; i < n; ++i) {
            put_real(out, v[i]);
            if (i % 5 == 4 || i + 1 == n) out += '\n';
        }
    }
    void real_array(const std::string& label, const std::vector<double>& v) { real_array(label, v.data(), v.size()); }
    void int_array(const char* label, const std::vector<int64_t>& v) { int_array(label, v.data(), v.size()); }
    // Text in pieces of 12 characters, five to a line; the last piece is not padded.
    void text_array(const char* label, const std::string& text) {
        const size_t pieces = (text.size() + 11) / 12;
        header(label, 'C', pieces);
        for (size_t i = 0; i < pieces; ++i) {
            out.append(text, i * 12, 12);
            if (i % 5 == 4 || i + 1 == pieces) out += '\n';
        }
    }

private:
    void header(const std::string& label, char type, size_t n) {
        put_padded(out, label, 40);
        out += "   ";
        out += type;
        out += "   N=";
        append_uint(out, n, 12);
        out += '\n';
    }
};
}  // namespace

void Tesvarin::write_fchk(const string& fname) const {
    const auto& p = params;
    const auto& mol = p.mol;
    const auto& b = mol.bparams;
    const auto natoms = static_cast<size_t>(std::max<int64_t>(mol.natoms, 0));
    FchkText f;
    f.out.reserve(4096 + 17 * (mol.amocoeff.size() + mol.bmocoeff.size() + mol.orthbasis.size()));

    put_padded(f.out, p.title.size() > 72 ? p.title.substr(0, 71) : p.title, 72);
    f.out += '\n';
    // Each field ends at its first NUL, as a C string would (the info text may hold NULs).
    put_padded(f.out, p.jobtype.c_str(), 10);
    put_padded(f.out, p.method.c_str(), 60);
    put_padded(f.out, p.baset.c_str(), 20);
    f.out += '\n';

    f.int_scalar("Number of atoms", mol.natoms);
    f.int_array("Info1-9", p.info1_9);
    f.text_array("Full Title", p.title);
    f.text_array("Route", p.route);
    f.int_scalar("Charge", mol.totchg);
    f.int_scalar("Multiplicity", mol.multiplicity);
    f.int_scalar("Number of electrons", mol.ne);
    f.int_scalar("Number of alpha electrons", mol.nae);
    f.int_scalar("Number of beta electrons", mol.nbe);
    f.int_scalar("Number of basis functions", mol.nbasis);
    f.int_scalar("Number of independent functions", mol.nbsuse);
    f.int_scalar("Number of translation vectors", mol.ndim);
    f.int_array("Atomic numbers", mol.atomicnums.data(), natoms);
    f.real_array("Nuclear charges", mol.nucchg.data(), natoms);
    f.real_array("Current cartesian coordinates", mol.coords.data(), 3 * natoms);
    if (mol.ndim > 0) {
        const int64_t rows = std::min<int64_t>(mol.ndim, 3);
        std::vector<double> vectors;
        for (int64_t k = 0; k < rows; ++k)
            for (int j = 0; j < 3; ++j) vectors.push_back(mol.cell(k, j));
        f.real_array("Translation vectors", vectors);
    }
    f.int_scalar("Number of contracted shells", mol.NShell);
    f.int_scalar("Number of primitive shells", mol.NPrim);
    f.int_array("Shell types", b.shelltypes);
    f.int_array("Number of primitives per shell", b.shellnprim);
    f.int_array("Shell to atom map", b.shell2map);
    f.real_array("Primitive exponents", b.primexp);
    if (!mol.concoeff.empty()) f.real_array("Contraction coefficients", mol.concoeff);
    if (!mol.spconcoeff.empty()) f.real_array("P(S=P) Contraction coefficients", mol.spconcoeff);
    f.real_array("Coordinates of each shell", mol.cshell);
    f.int_scalar("Num ILSW", static_cast<int64_t>(ilsw.size()));
    f.int_array("ILSW", ilsw);
    if (!rlsw.empty()) {
        f.int_scalar("Num RLSW", static_cast<int64_t>(rlsw.size()));
        f.real_array("RLSW", rlsw);
    }
    f.real_scalar("Virial Ratio", p.genarr[0]);
    f.real_scalar("SCF Energy", p.genarr[31]);
    f.real_scalar("Total Energy", p.genarr[42]);
    f.real_scalar("RMS Density", p.genarr[22]);
    f.int_scalar("IOpCl", iopcl_out);
    f.int_scalar("IROHF", irohf);
    if (!mol.aoene.empty()) f.real_array("Alpha Orbital Energies", mol.aoene);
    if (!mol.boene.empty()) f.real_array("Beta Orbital Energies", mol.boene);
    if (!mol.amocoeff.empty()) f.real_array("Alpha MO coefficients", mol.amocoeff);
    if (!mol.bmocoeff.empty()) f.real_array("Beta MO coefficients", mol.bmocoeff);
    if (!mol.orthbasis.empty()) f.real_array("Orthonormal basis", mol.orthbasis);
    for (int k = 0; k < 9; ++k) {
        if (!mol.totdens[k].empty()) f.real_array(std::string("Total ") + labdens[k], mol.totdens[k]);
        if (!mol.spindens[k].empty()) f.real_array(std::string("Spin ") + labdens[k], mol.spindens[k]);
    }
    if (!write_whole_file(fname, f.out)) TESVARIN_THROW("Can not write file: " + fname);
}
