#include "chk_builder.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>

namespace chk {
namespace {
template <typename T>
Bytes words(const std::vector<T>& v) {  // the hosts are little-endian, as the files
    Bytes out(v.size() * 8, '\0');
    if (!v.empty()) std::memcpy(&out[0], v.data(), out.size());
    return out;
}
Bytes padded(const std::string& s, size_t n) { return s.substr(0, n) + std::string(n - std::min(n, s.size()), ' '); }
Bytes zeros(int64_t n) { return Bytes(8 * std::max<int64_t>(n, 0), '\0'); }
int64_t count(const std::vector<double>& v) { return static_cast<int64_t>(v.size()); }
}  // namespace

Bytes ints(const std::vector<int64_t>& v) { return words(v); }
Bytes reals(const std::vector<double>& v) { return words(v); }

Chk& Chk::add(int64_t label, const Bytes& data) {
    sections.emplace_back(label, data + std::string((8 - data.size() % 8) % 8, ' '));
    return *this;
}

Bytes Chk::build(const Break& b) const {
    const auto n = static_cast<int64_t>(sections.size() + entries.size());
    int64_t word = 4 + 4 * n;
    std::vector<int64_t> dir;
    Bytes body;
    for (const auto& [label, data] : sections) {
        const auto len = static_cast<int64_t>(data.size() / 8);
        const int64_t delta = b.end_delta.count(label) ? b.end_delta.at(label) : 0;
        dir.insert(dir.end(), {label, word, word + len + delta, 0});
        body += data, word += len;
    }
    for (const auto& e : entries) dir.insert(dir.end(), e.begin(), e.end());
    const Bytes file = ints({b.nentries.value_or(n), word - b.cut + b.length_delta, 0, 0}) + ints(dir) + body;
    return file.substr(0, file.size() - 8 * b.cut);
}

std::string temp_path(const std::string& name) {
    const auto* test = testing::UnitTest::GetInstance()->current_test_info();
    return testing::TempDir() + test->test_suite_name() + "." + test->name() + "." + name;
}

std::string write_raw(const std::string& name, const Bytes& data) {
    std::ofstream(temp_path(name), std::ios::binary) << data;
    return temp_path(name);
}

std::string Chk::write(const std::string& name, const Break& b) const { return write_raw(name, build(b)); }

Bytes label_record(const std::string& title, const std::string& route, const Bytes& tokens, int64_t flag) {
    return ints({flag, 0, 0, 0}) + padded(title, 800) + padded(route, 32000) + tokens;
}
Bytes info_record(int64_t itype, int64_t ipf, int64_t slot5, const std::string& text) {
    return ints({0, 0, 0, 0, ipf, slot5, itype, 0, 0}) + padded(text, 1528);
}

Bytes xlsw(std::map<int, int64_t> ilsw, const std::vector<double>& rlsw, int64_t nwords) {
    std::vector<int64_t> sw(100, 0);
    sw[57] = count(rlsw);
    for (const auto& [k, v] : ilsw) sw[k] = v;
    return (ints(sw) + reals(rlsw) + zeros(nwords)).substr(0, 8 * nwords);
}

Bytes mol_section(const std::vector<Atom>& atoms, const MolOpts& o) {
    std::vector<int64_t> z, types;
    std::vector<double> xyz;
    int64_t ne = 0;
    for (const Atom& a : atoms) {
        z.push_back(a.z), types.push_back(a.type), xyz.insert(xyz.end(), a.xyz.begin(), a.xyz.end());
        ne += a.z;
    }
    const bool old = o.layout == -12345;  // a 12-word header; the others give their length in word 1
    const std::vector<int64_t> counts{o.natoms.value_or(atoms.size()), 0, 1, (ne + 1) / 2, ne / 2, ne, o.nbasis,
                                      o.nbsuse.value_or(o.nbasis),     0, 0};
    const Bytes head = ints({o.layout}) + (old ? Bytes() : ints({o.hdrlen})) + ints(counts) + zeros(old ? 1 : 8) +
                       zeros(old ? 0 : std::min<int64_t>(o.hdrlen, 1000) - 20);
    z.resize(z.size() + 3), types.resize(types.size() + 3), xyz.resize(xyz.size() + 9);
    const std::vector<double> charges(z.begin(), z.end());
    Bytes data = head + ints(z) + reals(charges) + reals(xyz) + ints(types) + zeros((o.blocks - 6) * z.size());
    for (const auto& [b, words] : o.block) data.replace(head.size() + 8 * b * z.size(), words.size(), words);
    return data;
}

Bytes basis_section(const std::vector<Shell>& shells, const BasisOpts& o) {
    std::vector<double> exps, cs, cp, cd, cx, cy, cz;
    std::vector<int64_t> starts, dstarts, atom, nprim, type, cons;
    for (const Shell& s : shells) {
        const size_t n = s.exps.size();
        auto append = [n](std::vector<double>& dst, std::vector<double> v) {
            v.resize(n), dst.insert(dst.end(), v.begin(), v.end());
        };
        starts.push_back(count(exps) + 1), dstarts.push_back(s.type >= 2 ? count(cd) + 1 : 0);
        append(exps, s.exps), append(cs, s.coefs), append(cp, s.coefp);
        if (s.type >= 2) append(cd, s.coefd);
        cx.push_back(s.centre[0]), cy.push_back(s.centre[1]), cz.push_back(s.centre[2]);
        atom.push_back(s.atom), type.push_back(s.type), nprim.push_back(s.nprim.value_or(n));
        cons.push_back(s.cons >= 0 ? s.cons : s.type == 1 ? 0 : s.type);
    }
    int64_t maxtyp = 0;
    for (int64_t t : type) maxtyp = std::max(maxtyp, t);
    std::vector<int64_t> hdr{static_cast<int64_t>(shells.size()), maxtyp, count(exps), count(cd), o.cartd, o.cartf};
    hdr.resize(32);
    for (const auto& [k, v] : o.header) hdr[k] = v;
    return ints(hdr) + reals(exps) + reals(cs) + reals(cp) + reals(cd) + reals(cd) +
           ints(o.dfstart.empty() ? dstarts : o.dfstart) + reals(cx) + reals(cy) + reals(cz) + ints(atom) +
           ints(o.primstart.empty() ? starts : o.primstart) + ints(nprim) + ints(type) + ints(cons) +
           zeros(4 * shells.size());  // ishaux1, ishaux2, rshaux1, rshaux2
}

std::string what_of(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return std::regex_replace(e.what(), std::regex("Line: [0-9]+"), "Line: N");
    }
    return "no exception";
}

std::string parse_error(const std::string& path) {
    return what_of([&] { Tesvarin t(path); });
}

std::string err(const std::string& where, const std::string& message) {
    static const std::map<std::string, std::pair<std::string, std::string>> at{
        {"open",
         {"include/tesvarin/read/file_serializer.hpp",
          "FileSerializer::FileSerializer(const char*, const char*, bool)"}},
        {"get_fsize", {"include/tesvarin/read/file_serializer.hpp", "int64_t FileSerializer::get_fsize() const"}},
        {"read_header", {"src/read/header.cpp", "void Tesvarin::read_header()"}},
        {"read_label", {"src/read/label.cpp", "void Tesvarin::read_label()"}},
        {"read_mol", {"src/read/molecule.cpp", "void Tesvarin::read_mol()"}},
        {"read_basis_arrays", {"src/read/basis.cpp", "void Tesvarin::read_basis_arrays()"}},
        {"check_coor", {"src/read/orientation.cpp", "bool Tesvarin::check_coor() const"}},
        {"fix_basis", {"src/basis/fix_basis.cpp", "void Tesvarin::fix_basis()"}},
        {"read_densities", {"src/read/densities.cpp", "void Tesvarin::read_densities()"}},
        {"check_count", {"src/read/parser.cpp", "void Tesvarin::check_count(const char*, int64_t) const"}},
        {"claim_words", {"src/read/parser.cpp", "void Tesvarin::claim_words(const char*, int64_t) const"}},
        {"seek_section", {"src/read/parser.cpp", "void Tesvarin::seek_section(int) const"}},
        {"convert_cc",
         {"src/basis/renormalisation.cpp", "void Tesvarin::convert_cc(int64_t, int64_t, int64_t, int64_t)"}},
        {"decode_sc",
         {"src/read/scf_type.cpp",
          "void Tesvarin::decode_sc(int64_t, int64_t&, int64_t&, int64_t&, bool&, int64_t&, int64_t&)"}},
        {"GetCCB", {"src/basis/coefficients.cpp", "std::vector<double> Tesvarin::GetCCB(int64_t, int64_t)"}},
        {"PutCCB",
         {"src/basis/coefficients.cpp", "void Tesvarin::PutCCB(int64_t, int64_t, const std::vector<double>&)"}},
        {"copy_vec",
         {"src/basis/coefficients.cpp",
          "void {anonymous}::copy_vec(const std::vector<T>&, std::vector<T>&, "
          "int64_t, int64_t, int64_t) [with T = double; int64_t = long int]"}},
        {"PrmNrm", {"src/basis/normalisation.cpp", "double PrmNrm(int64_t, int64_t, double, double)"}},
        {"NormCC",
         {"src/basis/normalisation.cpp",
          "void NormCC(int64_t, int64_t, int64_t, int64_t, int64_t, const double*, "
          "std::vector<double>&, const std::vector<double>&)"}},
        {"LBit", {"src/read/bits.cpp", "bool LBit(int64_t, int)"}}};
    const auto& [file, function] = at.at(where);
    return "Error: " + message + "\n\nSource File:\t" + file + ", Line: N\nFunction:\t" + function;
}

std::string budget_err(const std::string& what, int64_t n, const std::string& path) {
    return err("claim_words", "Bad count in .chk: " + what + " = " + std::to_string(n) +
                                  " would make the arrays read from the file hold more than 4 times its " +
                                  std::to_string(std::filesystem::file_size(path)) + " bytes");
}

std::string count_err(const std::string& what, int64_t n, const std::string& path) {
    return err("check_count", "Bad count in .chk: " + what + " = " + std::to_string(n) + ", but the file holds only " +
                                  std::to_string(std::filesystem::file_size(path) / 8) + " words");
}
}  // namespace chk
