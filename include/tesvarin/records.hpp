// The result record of one parse: job description, general array, molecule,
// basis, orbitals, Hessian and densities. Lengths in Bohr, energies in Hartree.
#pragma once

#include <Eigen/Dense>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tesvarin/bulk_vector.hpp"

// Element symbols by atomic number: "X", then "H" to "Rg".
extern const char* const pte_label[112];
// Names of the nine density kinds, in the order of their presence bits.
extern const char* const labdens[9];

// Kind (0 to 8) of a density named as in labdens, with or without the trailing
// " Density", in any case; -1 for any other name.
int density_kind(const std::string& name);

// Symbol for an atomic number: below 1 gives "X", above 111 gives "Rg".
const char* element_symbol(int64_t atomic_number);

// One Angstrom expressed in Bohr is 1/bohr_to_angstrom.
constexpr double bohr_to_angstrom = 0.529177249;

struct ChkParams {
    struct Mol {
        // The basis as stored in the file (shell and atom indices 1-based); rewritten by fix_basis.
        // Flat arrays, one value per shell or primitive, read straight from the file.
        struct Bparams {
            tesvarin::bulk_vector<double> primexp;   // primitive exponents, NPrim
            std::vector<double> coefs;               // s coefficients (and s of SP), NPrim
            std::vector<double> coefp;               // p coefficients (and p of SP), NPrim
            std::vector<double> coefd;               // d coefficients, NPrimD
            std::vector<double> coefhi;              // f and higher coefficients, NPrimD
            tesvarin::bulk_vector<int64_t> dfstart;  // first primitive in coefd/coefhi, NShell
            tesvarin::bulk_vector<double> shellx;    // shell centres, Bohr, NShell
            tesvarin::bulk_vector<double> shelly;
            tesvarin::bulk_vector<double> shellz;
            tesvarin::bulk_vector<int64_t> shell2map;   // atom of each shell (JAn)
            tesvarin::bulk_vector<int64_t> primstart;   // first primitive in primexp/coefs/coefp
            tesvarin::bulk_vector<int64_t> shellnprim;  // primitives per shell
            tesvarin::bulk_vector<int64_t> shelltypes;  // highest L; signed shell-type code after fix_basis
            tesvarin::bulk_vector<int64_t> shellcons;   // 0: all lower L included; 1 with type 1: pure P
            tesvarin::bulk_vector<int64_t> ishaux1;
            tesvarin::bulk_vector<int64_t> ishaux2;
            tesvarin::bulk_vector<double> rshaux1;
            tesvarin::bulk_vector<double> rshaux2;
        };

        int64_t hdrlen = 0;
        int64_t natoms = 0;
        int64_t totchg = 0;
        int64_t multiplicity = 0;
        int64_t nae = 0;
        int64_t nbe = 0;
        int64_t ne = 0;
        int64_t nbasis = 0;
        int64_t nbsuse = 0;
        int64_t hdrw10 = 0;
        int64_t ndim = 0;
        int64_t hdrw12 = 0, hdrw13 = 0, hdrw14 = 0, hdrw15 = 0, hdrw16 = 0;
        int64_t NShell = 0;
        int64_t MaxTyp = 0;
        int64_t NPrim = 0;
        int64_t NPrimD = 0;
        int64_t CartD = 0;
        int64_t CartF = 0;
        std::vector<int64_t> atomicnums;
        std::vector<int64_t> atomtypes;
        std::vector<double> nucchg;
        std::vector<double> coords;  // x y z per atom, then up to three translation vectors
        // The orbital arrays as stored: nmo = nbsuse * components orbitals of
        // components * nbasis coefficients, each value_kind reals (re, im when 2).
        int64_t value_kind = 1;
        int64_t components = 1;
        tesvarin::bulk_vector<double> aoene;
        tesvarin::bulk_vector<double> boene;
        tesvarin::bulk_vector<double> amocoeff;
        tesvarin::bulk_vector<double> bmocoeff;
        tesvarin::bulk_vector<double> orthbasis;
        tesvarin::bulk_vector<double> concoeff;    // per primitive, for normalised primitives
        tesvarin::bulk_vector<double> spconcoeff;  // P coefficients of SP primitives; empty without SP shells
        std::vector<double> cshell;                // 3 per shell, Bohr
        std::vector<std::string> orblabels;
        std::array<tesvarin::bulk_vector<double>, 9> totdens;  // packed triangles, value_kind reals each
        std::array<tesvarin::bulk_vector<double>, 9> spindens;
        Bparams bparams;
        std::array<int64_t, 2> orihdr{};
        std::array<int64_t, 24> oritab{};
        std::array<double, 9> stdrot{};                  // column by column: M(i, j) = stdrot[i + 3j]
        std::array<double, 3> stdtrans{};                // Bohr
        Eigen::MatrixXd hessian;                         // force constants, Hartree/Bohr^2, 3 natoms square
        Eigen::Matrix3d cell = Eigen::Matrix3d::Zero();  // row k = translation vector k, Bohr
    };

    Mol mol;
    std::string route;
    std::string gauver;
    std::string title;
    std::string jobtype;
    std::string method;
    std::string baset;
    std::vector<double> genarr;
    std::vector<int64_t> info1_9;
};

namespace tesvarin {

// The switch record (998) and the SCF codes formchk writes from it.
struct Switches {
    std::vector<int64_t> ilsw;
    std::vector<double> rlsw;
    int64_t iopcl = 0;  // IOpCl as stored, which formchk writes (0 without the switch record)
    int64_t irohf = 0;
};

}  // namespace tesvarin
