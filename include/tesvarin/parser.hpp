// The parser: one object per checkpoint, constructed with the path, parsed at
// once in eight fixed steps, read-only afterwards.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tesvarin/error.hpp"
#include "tesvarin/read/container.hpp"
#include "tesvarin/read/file_serializer.hpp"
#include "tesvarin/read/read_options.hpp"
#include "tesvarin/read/scf_type.hpp"
#include "tesvarin/read/section_view.hpp"
#include "tesvarin/records.hpp"
#include "tesvarin/sections/further_sections.hpp"

namespace tesvarin {
struct FchkEntry;
}

class Tesvarin {
public:
    // Spelled this way so that signatures in error texts read "const string&".
    using string = std::string;

    explicit Tesvarin(const string& fname);
    // Reads only the large sections `options` asks for (the scan entry point); the fchk writers
    // and fchk_entries of such a parser refuse to run unless it read everything.
    Tesvarin(const string& fname, const tesvarin::ReadOptions& options);

    const ChkParams& get_params() const { return params; }
    const std::vector<int64_t>& get_ilsw() const { return switches.ilsw; }
    const std::vector<double>& get_rlsw() const { return switches.rlsw; }
    const tesvarin::Switches& get_switches() const { return switches; }

    // The further sections, each read or holding the error it raises when asked for.
    const tesvarin::FurtherSections& get_further() const { return further; }
    const tesvarin::ReadOptions& get_read_options() const { return options; }

    // The writers of the parsed records (tesvarin/write/fchk_writer.hpp and gjf.hpp), as members whose
    // errors name them (src/parser_writers.cpp).
    void write_gjf(const string& fgjf) const;
    // The basic formatted checkpoint: a fixed set of entries.
    void write_fchk(const string& fname) const;
    // Everything formchk writes, byte for byte as the formchk of the file's program version.
    void write_complete_fchk(const string& fname) const;
    // Messages of the damaged sections whose entries the complete writer left out, and of a
    // program version it has no formchk for.
    using Skipped = std::vector<string>;
    // Either of the two, with long real arrays formatted on `threads` threads (the forms
    // above use both cores of a two-core machine, as does 0). The file is streamed in bounded
    // chunks. With `skipped`, a damaged further section costs only its own entries and its message
    // lands there; without it (and in the forms above) the complete writer refuses the file.
    void write_fchk(const string& fname, bool complete, unsigned threads, Skipped* skipped = nullptr) const;
    // The entries of write_fchk (complete = false) or write_complete_fchk, in file order.
    std::vector<tesvarin::FchkEntry> fchk_entries(bool complete, Skipped* skipped = nullptr) const;

    // Shell coefficient access, in the internal shell encoding (before fix_basis ends).
    // Splits the SCF-type code IOpCl into its spin, complex and component factors and the
    // flags of codes above 7 and above 15; throws for a code the reader does not know.
    void decode_sc(int64_t IOpCl, int64_t& spinBlocks, int64_t& valueKind, int64_t& components, bool& above7,
                   int64_t& densityBlocks, int64_t& above15);
    std::vector<double> GetCCB(int64_t shell, int64_t L);
    void PutCCB(int64_t shell, int64_t L, const std::vector<double>& values);
    // One renormalisation pass over every shell (its messages call it Renor1).
    void convert_cc(int64_t oldPrimNorm, int64_t newPrimNorm, int64_t contrNorm, int64_t spare);

    bool check_coor() const;
    void translate();
    void rotate();

private:
    // GetCCB's copy, into a caller's buffer of kMaxCon slots: the renormalisation pass reuses one.
    void copy_ccb(int64_t shell, int64_t L, std::vector<double>& values) const;
    friend struct TesvarinTestAccess;

    void do_parser();
    void read_header();
    void read_genarr();
    void read_label();
    void read_mol();
    void read_hessian();
    void fix_basis();
    void read_densities();
    void read_further_sections();
    // The density-fitting basis section (724) through the orbital basis' steps, which it leaves as they were.
    tesvarin::DensityBasis read_density_basis(const tesvarin::SectionView& s);
    // A bounded view of directory entry `index`; throws SectionError when it lies outside the file.
    tesvarin::SectionView section_view(int index, const char* name) const;

    // read_mol's pieces, in the order it runs them.
    // False for an unknown layout code (returned in moltyp).
    bool read_mol_header(const tesvarin::SectionView& s, int64_t& moltyp);
    // False when the basis header's counts and flags are garbage.
    bool read_basis_header(const tesvarin::SectionView& s);
    // The basis arrays, one after the other behind the header.
    void read_basis_words(const tesvarin::SectionView& s);
    // Checks every shell's primitive runs against the arrays just read.
    void read_basis_arrays();
    void reconcile_orientation(bool have_basis);
    // Sets iopcl and the switches' IOpCl and IROHF from the switch record; the factors of the stored IOpCl.
    tesvarin::ScfType read_scf_type();
    // The three factors of decode_sc that size orbitals and densities.
    tesvarin::ScfType scf_factors(int64_t IOpCl);
    void read_orbitals(int64_t spin_blocks, int64_t nmo, int64_t ncoef);
    void prefix_method(const tesvarin::ScfType& scf);

    // Writes the fchk to `fname`; false when the file cannot be opened or written.
    bool stream_fchk(const string& fname, bool complete, unsigned threads, Skipped* skipped) const;

    bool has_magic(tesvarin::SectionLabel label, int& index) const;
    // Directory entry `index` as the basic steps read it (SectionView::fetch), after seek_section.
    tesvarin::SectionView open_section(int index) const;
    // Refuses directory entry `index` when its first word lies outside the file.
    void seek_section(int index) const;
    // end - start of directory entry `index`, saturated to the int64 range.
    int64_t section_words(int index) const;
    // Rejects a count read from the file that is negative or asks for more
    // words than the whole file holds, before it sizes anything.
    void check_count(const char* what, int64_t count) const;
    // Charges `count` words to the budget that all arrays sized from the file share,
    // so that many counts each near the file's size cannot together hold many times it.
    // Const, so that the lazily built section views count too.
    void claim_words(const char* what, int64_t count) const;

    // Sizes `values` to `count`, a count from the file, and reads them from word `at`
    // of `s`; returns the word after them.
    template <typename T, typename Alloc>
    tesvarin::Checked read_counted(const tesvarin::SectionView& s, tesvarin::Checked at, std::vector<T, Alloc>& values,
                                   int64_t count, const char* what) const {
        check_count(what, count);
        claim_words(what, count);
        return tesvarin::fetch_array(s, at, values, count);
    }

    std::unique_ptr<FileSerializer> serializer;
    string fname;
    std::vector<Address> addresses;
    tesvarin::Switches switches;
    ChkParams params;
    tesvarin::FurtherSections further;
    tesvarin::ReadOptions options;
    bool rotated = false;
    int64_t iopcl = 0;
    mutable int64_t claimed_words = 0;  // words of arrays sized by counts from the file so far
};
