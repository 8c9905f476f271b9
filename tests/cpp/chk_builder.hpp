// Writes checkpoints from plain values (little-endian 8-byte words): the leading record,
// the directory and the sections. `Break` spoils one thing on purpose.
#pragma once

#include <array>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tesvarin/parser.hpp"
#include "tesvarin/section_labels.hpp"

namespace chk {
namespace label = tesvarin::section;
constexpr int64_t GEN = label::kGeneral.number, LABEL = label::kLabel.number, DENSITIES = label::kDensities.number,
                  BASIS = label::kBasis.number, VERSION = label::kVersion.number, INFO = label::kInfo.number,
                  MOL = label::kMolecule.number, XLSW = label::kSwitches.number;
using Bytes = std::string;
Bytes ints(const std::vector<int64_t>& v);
Bytes reals(const std::vector<double>& v);

struct Break {
    std::optional<int64_t> nentries{};
    int64_t length_delta = 0;                // added to the length word
    std::map<int64_t, int64_t> end_delta{};  // label -> words added to its end word
    int64_t cut = 0;                         // words dropped from the file's end (the length word follows)
};
struct Chk {
    std::vector<std::pair<int64_t, Bytes>> sections{};
    std::vector<std::array<int64_t, 4>> entries{};  // directory entries added by hand, after the sections'
    Chk& add(int64_t label, const Bytes& data);     // blank-padded to whole words
    Bytes build(const Break& b = {}) const;
    std::string write(const std::string& name, const Break& b = {}) const;  // under the test temp dir
};
std::string temp_path(const std::string& name);  // unique per test, so ctest -j can run them side by side
std::string write_raw(const std::string& name, const Bytes& data);

Bytes label_record(const std::string& title, const std::string& route = "#p HF", const Bytes& tokens = "\x07",
                   int64_t flag = -12345);
Bytes info_record(int64_t itype = 0, int64_t ipf = 0, int64_t slot5 = 0, const std::string& text = "HF\\STO-3G\\");
Bytes xlsw(std::map<int, int64_t> ilsw = {}, const std::vector<double>& rlsw = {}, int64_t words = 200);
inline Bytes densities(int64_t presence, const std::vector<double>& v) { return ints({presence}) + reals(v); }

struct Atom {
    int64_t z;
    std::array<double, 3> xyz{};
    int64_t type = 0;
};
struct MolOpts {
    int64_t layout = -12346, hdrlen = 20, nbasis = 0;
    std::optional<int64_t> natoms{}, nbsuse{};
    int64_t blocks = 8;                // per-atom blocks of N+3 words after the header
    std::map<int64_t, Bytes> block{};  // block -> its first words
};
// A word from its two 32-bit halves, as the further sections pack counts.
inline int64_t halves(int32_t high, int32_t low) {
    const uint64_t hi = static_cast<uint32_t>(high);
    return static_cast<int64_t>((hi << 32) | static_cast<uint32_t>(low));
}
Bytes mol_section(const std::vector<Atom>& atoms, const MolOpts& o = {});
// `type` is the highest L; `cons` -1 stands for 0 with type 1 (SP) and for `type` otherwise.
struct Shell {
    int64_t type, atom;
    std::vector<double> exps{}, coefs{}, coefp{}, coefd{};
    int64_t cons = -1;
    std::optional<int64_t> nprim{};  // the number of exponents when unset
    std::array<double, 3> centre{};
};
struct BasisOpts {
    int64_t cartd = 1, cartf = 1;
    std::map<int, int64_t> header{};  // header word -> value
    std::vector<int64_t> primstart{}, dfstart{};
};
Bytes basis_section(const std::vector<Shell>& shells, const BasisOpts& o = {});
inline Chk minimal() { return Chk().add(MOL, mol_section({{1}})); }  // one H atom: the least that parses

// what() of the exception `f` throws, with "Line: N"; "no exception" when it throws none.
std::string what_of(const std::function<void()>& f);
std::string parse_error(const std::string& path);
// The whole error text of `message` thrown at `where`, a function name (table in the .cpp).
std::string err(const std::string& where, const std::string& message);
std::string count_err(const std::string& what, int64_t n, const std::string& path);
// The memory budget's refusal of `what` = n (the arrays sized from the file past four times its size).
std::string budget_err(const std::string& what, int64_t n, const std::string& path);
}  // namespace chk

// The parser names this struct its friend, so tests can set its state.
struct TesvarinTestAccess {
    static ChkParams& params(Tesvarin& t) { return t.params; }
};
