// The section readers and the basis fix-up, each table checked through a whole parse.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "chk_builder.hpp"
#include "tesvarin/basis/normalisation.hpp"

using namespace chk;

namespace {
const std::vector<Atom> kH{{1}};
std::string head(const std::string& what) { return what.substr(0, what.find("\nFunction:")); }  // no function line
Shell s_shell(const std::vector<double>& exps, int64_t atom = 1) {
    return {0, atom, exps, std::vector<double>(exps.size(), 1.0)};
}
}  // namespace

TEST(Label, TitleRouteOrbitalLabelsAndVersion) {
    using Labels = std::vector<std::string>;
    const std::string a300(300, 'a');
    for (const auto& [title, route, tokens, want_title, want_route, labels] :
         std::vector<std::tuple<std::string, std::string, Bytes, std::string, std::string, Labels>>{
             {std::string(800, ' '), "#p  HF  ", "\x07", "", "#p  HF", {}},
             {"two words   ", "", "X|1|C|S\\2|PX|\x07", "two words", "", {"1CS", "2PX"}},
             {std::string("0123456789\0tail", 15), "#p", "1\\C\x07|2|", "0123456789", "#p", {"1"}},
             {"t", "#p", "1" + a300 + "|2|", "t", "#p", {"1" + a300.substr(0, 198), "2"}}}) {  // 199-byte tokens
        const Tesvarin t(minimal().add(LABEL, label_record(title, route, tokens)).write("label.chk"));
        const ChkParams& p = t.get_params();
        EXPECT_EQ(std::tie(p.title, p.route, p.mol.orblabels), std::tie(want_title, want_route, labels));
    }
    EXPECT_EQ(parse_error(minimal().add(LABEL, label_record("t", "#p", "", -12344)).write("flag.chk")),
              err("read_label", "Label flag (-12345) not found"));
    std::string one_byte_labels;  // 1 MiB of tokens, each a label of one digit: 32 bytes of string per 2 bytes
    for (int i = 0; i < 1 << 19; ++i) one_byte_labels += "1|";
    const std::string many = minimal().add(LABEL, label_record("t", "#p", one_byte_labels)).write("many.chk");
    EXPECT_EQ(parse_error(many), budget_err("orbital label words", 4 << 19, many));
    EXPECT_EQ(Tesvarin(minimal().add(VERSION, "ES64L-G16RevC.01 1-Jan-19      ").write("v.chk")).get_params().gauver,
              "ES64L-G16RevC.01 1-Jan-19");
    EXPECT_EQ(Tesvarin(minimal().add(VERSION, "").write("v0.chk")).get_params().gauver, "");
}

TEST(Molecule, HeaderLayouts) {
    for (const auto& [layout, hdrlen] :
         std::vector<std::pair<int64_t, int64_t>>{{-12345, 12}, {-12346, 20}, {-12348, 25}, {-12349, 20}}) {
        const Tesvarin t(
            Chk().add(MOL, mol_section({{8, {0, 0, 0.2}}, {1, {0, 1.4, -0.9}}}, {layout, hdrlen, 7})).write("mol.chk"));
        const auto& m = t.get_params().mol;
        EXPECT_EQ(std::vector<int64_t>(
                      {m.hdrlen, m.natoms, m.totchg, m.multiplicity, m.nae, m.nbe, m.ne, m.nbasis, m.nbsuse}),
                  std::vector<int64_t>({hdrlen, 2, 0, 1, 5, 4, 9, 7, 7}));
        EXPECT_EQ(m.atomicnums, std::vector<int64_t>({8, 1, 0, 0, 0}));
        EXPECT_EQ(m.coords, std::vector<double>({0, 0, 0.2, 0, 1.4, -0.9, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    }
}

TEST(Molecule, FailureRows) {
    // layout, header length, atoms, basis functions, error (or count name), count
    for (const auto& [layout, hdrlen, natoms, nbasis, error, count] :
         std::vector<std::tuple<int, int64_t, int, int64_t, std::string, int64_t>>{
             {-12344, 20, 1, 0, "Bad MolTyp in rwmol: -12344", 0},
             {-12350, 20, 1, 0, "Bad MolTyp in rwmol: -12350", 0},
             {-12346, 20, 0, 0, "Missing atom data in.chk", 0},
             {-12345, 20, -5, 0, "Missing atom data in.chk", 0},
             {-12346, 20, 249998, 0, "Too many atoms in .chk: 249998, at most 249997 are supported", 0},
             {-12346, 20, 249997, 0, "atom coordinates", 750000},
             {-12347, 1LL << 40, 1, 0, "molecule header length", 1LL << 40}}) {
        const std::string path = Chk().add(MOL, mol_section(kH, {layout, hdrlen, nbasis, natoms})).write("mol.chk");
        EXPECT_EQ(head(parse_error(path)), head(count ? count_err(error, count, path) : err("read_mol", error)));
    }
    EXPECT_EQ(parse_error(Chk().add(MOL, mol_section({})).write("0.chk")), err("read_mol", "Missing atom data in.chk"));
    // Counts that nothing uses are no error: an MO count that overflows without orbital
    // sections, a negative header length that still points into the file.
    for (const MolOpts& o : {MolOpts{-12346, 20, int64_t{1} << 32}, MolOpts{-12347, -1}})
        EXPECT_EQ(parse_error(Chk().add(MOL, mol_section(kH, o)).write("unused.chk")), "no exception");
}

TEST(Molecule, HelperErrorsNameReadMol) {
    EXPECT_EQ(parse_error(Chk().add(MOL, mol_section(kH, {-12344})).write("moltyp.chk")),
              err("read_mol", "Bad MolTyp in rwmol: -12344"));
    EXPECT_EQ(parse_error(minimal().add(BASIS, basis_section({s_shell({1.0})}, {2})).write("cartd.chk")),
              err("read_mol", "RdWrB1 read garbage pointers"));
}

TEST(Basis, GarbageHeadersAndPositions) {
    const std::string garbage = head(err("read_mol", "RdWrB1 read garbage pointers"));
    const std::string bad = "Bad basis in .chk: shell 1 has ", past = "past NPrim = 2 or NPrimD = 0";
    Shell negative = s_shell({1.0, 2.0}), d{2, 1, {1.0}, {}, {}, {1.0}}, s1 = s_shell({1.0}), s2 = s_shell({1.0, 2.0});
    negative.nprim = -2;
    Shell min_s = s1, min_d = d, top = d, bottom = s1, fourteen = d, minus_one = s1;
    min_s.nprim = min_d.nprim = LLONG_MIN;  // p - 1 <= NPrim - n and d - 1 <= NPrimD - n would overflow
    top.type = LLONG_MAX, bottom.type = LLONG_MIN, fourteen.type = 14, minus_one.type = -1;
    const std::string type = "Bad basis in .chk: shell 1 has type ", range = ", outside 0 to 13";
    // MaxTyp 2 without D/F, CartD, CartF, NShell, NPrimD above NPrim; positions past the arrays; huge counts.
    for (const auto& [shell, header, primstart, dfstart, error] :
         std::vector<std::tuple<Shell, std::map<int, int64_t>, int64_t, int64_t, std::string>>{
             {s1, {{1, 2}}, 1, 0, garbage},
             {s1, {{4, 2}}, 1, 0, garbage},
             {s1, {{4, -1}}, 1, 0, garbage},
             {s1, {{5, 2}}, 1, 0, garbage},
             {s1, {{0, -1}}, 1, 0, garbage},
             {s1, {{3, 5}}, 1, 0, garbage},
             {s2, {}, 3, 0, bad + "2 primitives from position 3 (D/F position 0), " + past},
             {s2, {}, 0, 0, bad + "2 primitives from position 0 (D/F position 0), " + past},
             {negative, {}, 1, 0, bad + "-2 primitives from position 1 (D/F position 0), " + past},
             {d, {}, 1, 2, bad + "1 primitives from position 1 (D/F position 2), past NPrim = 1 or NPrimD = 1"},
             {s1, {{2, 1LL << 40}}, 1, 0, "NPrim"},
             {s1, {{0, 1LL << 40}}, 1, 0, "NShell"},
             {min_s,
              {},
              1,
              0,
              bad + "-9223372036854775808 primitives from position 1 (D/F position 0), past NPrim = 1"
                    " or NPrimD = 0"},
             {min_d,
              {},
              1,
              8,
              bad + "-9223372036854775808 primitives from position 1 (D/F position 8), past NPrim = 1"
                    " or NPrimD = 1"},
             {top, {}, 1, 1, type + "9223372036854775807" + range},
             {bottom, {}, 1, 0, type + "-9223372036854775808" + range},
             {fourteen, {}, 1, 1, type + "14" + range},
             {minus_one, {}, 1, 0, type + "-1" + range}}) {
        const BasisOpts o{1, 1, header, {primstart}, {dfstart}};
        const std::string path = minimal().add(BASIS, basis_section({shell}, o)).write("basis.chk");
        if (error == garbage)
            EXPECT_EQ(head(parse_error(path)), garbage);
        else if (error.size() < 7)
            EXPECT_EQ(parse_error(path), count_err(error, 1LL << 40, path));
        else
            EXPECT_EQ(parse_error(path), err("read_basis_arrays", error));
    }
}

TEST(Basis, FixUpFailureRows) {
    std::vector<double> e100(100);
    for (size_t i = 0; i < e100.size(); ++i) e100[i] = 1.0 + i;
    Shell half = s_shell({1.0, 2.0});
    half.nprim = 1;
    const std::string nshell = "NShell != mol.NShell in fix_basis";
    using Row = std::tuple<Shell, int64_t, std::string, std::string>;  // shell, atom type code, thrown at, error
    for (const auto& [shell, type_code, where, error] : std::vector<Row>{
             {s_shell({1.0}, 0), 0, "fix_basis", "FixB is confused about JAn"},
             {s_shell({1.0}, 2), 0, "check_coor", "atom id out of range"},
             {s_shell({1.0}), 5, "fix_basis", nshell},
             {s_shell({1.0}), 9999999, "fix_basis", nshell},
             {s_shell({1.0}), 1000, "", ""},
             {s_shell({1.0}), 10000000, "", ""},
             {{2, 1, {1.0}, {1.0}, {1.0}, {1.0}, 0}, 0, "fix_basis", nshell},  // SPD expands into two shells
             {s_shell(e100), 0, "convert_cc", "MaxCon too small in Renor1"},
             {s_shell(std::vector<double>(e100.begin(), e100.end() - 1)), 0, "", ""},
             {s_shell({1e-7}), 0, "convert_cc", "Missing exponents in basis set"},
             {s_shell({1e-6}), 0, "", ""},
             {{0, 1, {1.0, 2.0}, {0.0, 0.0}}, 0, "NormCC", "Unable to normalize a contracted basis function"},
             {half, 0, "fix_basis", "concoeff size != mol.NPrim in ExpBas"}}) {
        const Chk c = Chk().add(MOL, mol_section({{1, {}, type_code}})).add(BASIS, basis_section({shell}));
        EXPECT_EQ(parse_error(c.write("fix.chk")), error.empty() ? "no exception" : err(where, error)) << type_code;
    }
}

TEST(Basis, ShellsWithoutPrimitivesEndCleanly) {  // the second met the renormalisation's memory of the first
    const Shell empty{0, 1, {}, {}};
    EXPECT_EQ(parse_error(minimal().add(BASIS, basis_section({empty, empty})).write("empty.chk")),
              err("NormCC", "Unable to normalize a contracted basis function"));
}

TEST(Basis, FixUpRegroupsEncodesAndNormalises) {
    // Listed as S on atom 2, SP on atom 1, D on atom 1, F on atom 2; pure D, Cartesian F.
    const std::array<double, 3> c1{0, 0, 0}, c2{0, 0, 1.5};
    const std::vector<Shell> shells{{0, 2, {2.0}, {-0.5}, {}, {}, -1, {}, c2},
                                    {1, 1, {3.0, 0.5}, {0.3, 0.8}, {0.2, 0.9}, {}, -1, {}, c1},
                                    {2, 1, {0.8}, {}, {}, {1.0}, -1, {}, c1},
                                    {3, 2, {0.6}, {}, {}, {1.0}, -1, {}, c2}};
    const Tesvarin t(Chk().add(MOL, mol_section({{6, c1}, {8, c2}})).add(BASIS, basis_section(shells, {0})).write("f"));
    const auto& m = t.get_params().mol;
    const auto& b = m.bparams;
    using V = tesvarin::bulk_vector<int64_t>;
    using R = tesvarin::bulk_vector<double>;
    EXPECT_EQ(
        std::tie(b.shelltypes, b.shellcons, b.shell2map, b.primstart, b.dfstart, b.ishaux1),
        std::make_tuple(V{-1, -2, 0, 3}, V{2, 2, 0, 3}, V{1, 1, 2, 2}, V{1, 3, 4, 5}, V{0, 1, 0, 2}, V{2, 2, 0, 0}));
    EXPECT_EQ(b.primexp, R({3.0, 0.5, 0.8, 2.0, 0.6}));
    EXPECT_EQ(m.cshell, std::vector<double>({0, 0, 0, 0, 0, 0, 0, 0, 1.5, 0, 0, 1.5}));
    const double n0 = PrmNrm(1, 0, 2.0, 2.0);
    EXPECT_DOUBLE_EQ(m.concoeff[3], -0.5 * std::sqrt(n0));
    EXPECT_DOUBLE_EQ(b.coefs[3], -1 / std::sqrt(n0));
    ASSERT_EQ(m.spconcoeff.size(), 5u);  // the P coefficients of SP primitives, else 0
    EXPECT_EQ(std::vector<double>(m.spconcoeff.begin() + 2, m.spconcoeff.end()), std::vector<double>(3, 0.0));
    EXPECT_DOUBLE_EQ(m.spconcoeff[1] / m.spconcoeff[0],
                     0.9 / 0.2 * std::sqrt(PrmNrm(1, 1, 0.5, 0.5) / PrmNrm(1, 1, 3.0, 3.0)));
    for (const auto& [coef, L] : {std::pair{&b.coefs, 0}, {&b.coefp, 1}}) {  // unit overlap over x^L
        double s = 0;
        for (int i = 0; i < 2; ++i)
            for (int j = 0; j < 2; ++j) s += (*coef)[i] * (*coef)[j] * PrmNrm(1, L, b.primexp[i], b.primexp[j]);
        EXPECT_NEAR(s, 1.0, 1e-12) << L;
    }
    const Tesvarin no_sp(minimal().add(BASIS, basis_section({s_shell({1.0})})).write("s.chk"));
    EXPECT_TRUE(no_sp.get_params().mol.spconcoeff.empty());
}

TEST(Densities, KindsMasksAndSpin) {
    const auto parse = [](int64_t iopcl, int64_t presence, const std::vector<double>& v) {
        const Tesvarin t(Chk()
                             .add(MOL, mol_section(kH, {-12346, 20, 2}))
                             .add(XLSW, xlsw({{0, iopcl}}))
                             .add(DENSITIES, densities(presence, v))
                             .write("d.chk"));
        return std::make_pair(t.get_params().mol.totdens, t.get_params().mol.spindens);
    };
    std::array<tesvarin::bulk_vector<double>, 9> tot{}, none{}, spin{};
    tot[0] = {1, 2, 3}, tot[2] = {4, 5, 6};
    EXPECT_EQ(parse(0, int64_t{5} << 32, {1, 2, 3, 4, 5, 6}), std::make_pair(tot, none));  // kinds 0 and 2
    tot = none, tot[0] = {1.5, 2.5, 4}, spin[0] = {0.5, 1.5, 2};
    EXPECT_EQ(parse(1, int64_t{1} << 32 | 0xffff, {1, 2, 3, 0.5, 0.5, 1}), std::make_pair(tot, spin));  // alpha, beta
    std::vector<double> all(27);
    for (size_t i = 0; i < all.size(); ++i) all[i] = i + 1.0, tot[i / 3].resize(3), tot[i / 3][i % 3] = i + 1.0;
    EXPECT_EQ(parse(0, LLONG_MIN, all), std::make_pair(tot, none));  // a negative high half: every kind
}

TEST(Densities, FailureRows) {
    const std::string length = "Error retrieving densities from rwf= 603, LenDen= 3, but length= ";
    const std::string natural = "Cannot do natural orbitals yet";
    for (const auto& [nbasis, ilsw9, nvalues, end_delta, error] :
         std::vector<std::tuple<int64_t, int, int, int64_t, std::string>>{
             {2, 0, 7, 0, length + "8"},
             {2, 0, -1, 0, length + "0"},
             {2, 2, 3, 0, natural},
             {2, 6, 3, 0, natural},
             {2, 1, 3, 0, ""},
             {0, 0, 7, 0, ""},
             {1'000'000, 0, 0, 500'000'500'000, "density length"},
             {1LL << 32, 0, 0, 0, "Bad count in .chk: the density length overflows for 4294967296 basis functions"}}) {
        Break brk;
        brk.end_delta[DENSITIES] = end_delta;
        const Bytes dens = nvalues < 0 ? Bytes() : densities(int64_t{1} << 32, std::vector<double>(nvalues));
        const std::string path = Chk()
                                     .add(MOL, mol_section(kH, {-12346, 20, nbasis, {}, 1}))
                                     .add(XLSW, xlsw({{9, ilsw9}}))
                                     .add(DENSITIES, dens)
                                     .write("dens.chk", brk);
        EXPECT_EQ(parse_error(path), error.empty() ? "no exception"
                                     : end_delta   ? count_err(error, end_delta, path)
                                                   : err("read_densities", error));
    }
}
