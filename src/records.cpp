#include "tesvarin/records.hpp"

#include <cctype>

const char* const pte_label[112] = {
    "X",  "H",  "He", "Li", "Be", "B",  "C",  "N",  "O",  "F",  "Ne", "Na", "Mg", "Al", "Si", "P",  "S",  "Cl", "Ar",
    "K",  "Ca", "Sc", "Ti", "V",  "Cr", "Mn", "Fe", "Co", "Ni", "Cu", "Zn", "Ga", "Ge", "As", "Se", "Br", "Kr", "Rb",
    "Sr", "Y",  "Zr", "Nb", "Mo", "Tc", "Ru", "Rh", "Pd", "Ag", "Cd", "In", "Sn", "Sb", "Te", "I",  "Xe", "Cs", "Ba",
    "La", "Ce", "Pr", "Nd", "Pm", "Sm", "Eu", "Gd", "Tb", "Dy", "Ho", "Er", "Tm", "Yb", "Lu", "Hf", "Ta", "W",  "Re",
    "Os", "Ir", "Pt", "Au", "Hg", "Tl", "Pb", "Bi", "Po", "At", "Rn", "Fr", "Ra", "Ac", "Th", "Pa", "U",  "Np", "Pu",
    "Am", "Cm", "Bk", "Cf", "Es", "Fm", "Md", "No", "Lr", "Rf", "Db", "Sg", "Bh", "Hs", "Mt", "Ds", "Rg"};

const char* const labdens[9] = {"SCF Density",       "Psi(1) Density", "MP2 Density", "MP3 Density",      "MP4 Density",
                                "CI Rho(1) Density", "CI Density",     "CC Density",  "2nd Order Density"};

const char* element_symbol(int64_t atomic_number) {
    if (atomic_number < 1) return pte_label[0];
    if (atomic_number > 111) return pte_label[111];
    return pte_label[atomic_number];
}

int density_kind(const std::string& name) {
    const auto same = [](const std::string& a, const char* b, size_t length) {
        if (a.size() != length) return false;
        for (size_t i = 0; i < length; ++i) {
            if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
                return false;
            }
        }
        return true;
    };
    constexpr size_t kSuffix = sizeof(" Density") - 1;
    for (int k = 0; k < 9; ++k) {
        const size_t length = std::char_traits<char>::length(labdens[k]);
        if (same(name, labdens[k], length) || same(name, labdens[k], length - kSuffix)) return k;
    }
    return -1;
}
