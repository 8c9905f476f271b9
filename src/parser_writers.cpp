// The parser's writers: each forwards to the writer of its records (src/write). They
// stay members because their errors name them ("void Tesvarin::write_fchk(const
// string&) const"); the writers themselves know nothing of the parser.
#include <cerrno>

#include "tesvarin/parser.hpp"
#include "tesvarin/write/fchk_writer.hpp"
#include "tesvarin/write/gjf.hpp"

void Tesvarin::write_gjf(const string& fgjf) const {
    if (!tesvarin::write_gjf(params, fname, fgjf)) {
        const int err = errno;
        TESVARIN_THROW_OS("Can not write file: " + fgjf, err, fgjf);
    }
}

void Tesvarin::write_fchk(const string& fname) const {
    if (!stream_fchk(fname, false, 0, nullptr)) {
        const int err = errno;
        TESVARIN_THROW_OS("Can not write file: " + fname, err, fname);
    }
}

void Tesvarin::write_complete_fchk(const string& fname) const {
    if (!stream_fchk(fname, true, 0, nullptr)) {
        const int err = errno;
        TESVARIN_THROW_OS("Can not write file: " + fname, err, fname);
    }
}

void Tesvarin::write_fchk(const string& fname, bool complete, unsigned threads, Skipped* skipped) const {
    if (!stream_fchk(fname, complete, threads, skipped)) {
        const int err = errno;
        TESVARIN_THROW_OS("Can not write file: " + fname, err, fname);
    }
}

std::vector<tesvarin::FchkEntry> Tesvarin::fchk_entries(bool complete, Skipped* skipped) const {
    // An fchk without the sections left unread would pass for the whole file.
    if (!options.everything()) {
        TESVARIN_THROW("The checkpoint was read without its " + options.unread() + "; read it whole to write an fchk");
    }
    return tesvarin::fchk_entries({params, switches, further}, complete, skipped);
}

bool Tesvarin::stream_fchk(const string& fname, bool complete, unsigned threads, Skipped* skipped) const {
    // Gathered before the file is opened, so a refused section leaves no file behind.
    const std::vector<tesvarin::FchkEntry> entries = fchk_entries(complete, skipped);
    return tesvarin::write_fchk(params, entries, fname, complete, threads);
}
