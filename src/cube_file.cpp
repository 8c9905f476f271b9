#include "tesvarin/cube_file.hpp"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <memory>

#include "tesvarin/error.hpp"
#include "tesvarin/number_format.hpp"

namespace tesvarin {
namespace {

constexpr size_t kChunk = size_t{1} << 20;  // text is written out a megabyte at a time

// A title is one line: any line break in it would shift every later line of the header.
std::string one_line(const std::string& text) {
    std::string line = text;
    for (char& c : line)
        if (c == '\n' || c == '\r' || c == '\0') c = ' ';
    return line;
}

void count_and_vector(std::string& out, int64_t count, const std::array<double, 3>& v) {
    append_int(out, count, 5);
    for (double c : v) append_fixed(out, c, 12, 6);
    out += '\n';
}

// %13.5E, except that a value too small for a two-digit exponent is written as zero: its
// 13 columns would have no room for the blank that separates it from a negative neighbour.
void append_value(std::string& out, double v) {
    if (std::fabs(v) < 1e-99) v = std::signbit(v) ? -0.0 : 0.0;
    append_sci(out, v, 13, 5);
}

}  // namespace

void write_cube(const std::string& path, const CubeHeader& h, const double* values) {
    const int64_t points = grid_point_count(h.grid);
    const auto nval = static_cast<int64_t>(h.orbitals.empty() ? 1 : h.orbitals.size());
    std::string out;
    out.reserve(kChunk + 4096);
    out += one_line(h.title) + '\n' + one_line(h.comment) + '\n';
    const auto natoms = static_cast<int64_t>(h.atoms.size());
    count_and_vector(out, h.orbitals.empty() ? natoms : -natoms, h.grid.origin);
    for (int i = 0; i < 3; ++i) count_and_vector(out, h.grid.counts[static_cast<size_t>(i)], h.grid.axes[static_cast<size_t>(i)]);
    for (const CubeAtom& a : h.atoms) {
        append_int(out, a.number, 5);
        append_fixed(out, a.charge, 12, 6);
        for (double c : a.xyz) append_fixed(out, c, 12, 6);
        out += '\n';
    }
    if (!h.orbitals.empty()) {
        std::vector<int64_t> line{nval};
        line.insert(line.end(), h.orbitals.begin(), h.orbitals.end());
        for (size_t i = 0; i < line.size(); ++i) {
            append_int(out, line[i], 5);
            if (i % 10 == 9 || i + 1 == line.size()) out += '\n';
        }
    }
    std::FILE* fp = std::fopen(path.c_str(), "w");
    if (fp == nullptr) {
        const int err = errno;
        TESVARIN_THROW_OS("Can not write file: " + path, err, path);
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(fp, std::fclose);
    bool ok = true;
    const auto flush = [&] {
        ok = ok && std::fwrite(out.data(), 1, out.size(), fp) == out.size();
        out.clear();
    };
    const int64_t nz = h.grid.counts[2];
    const int64_t row = nz * nval;  // one line group per (x, y): the z row, orbitals fastest
    for (int64_t start = 0; ok && row > 0 && start < points * nval; start += row) {
        const double* v = values + start;
        for (int64_t i = 0; i < row; ++i) {
            append_value(out, v[i]);
            if (i % 6 == 5 || i + 1 == row) out += '\n';
        }
        if (out.size() >= kChunk) flush();
    }
    flush();
    ok = ok && std::fflush(fp) == 0 && std::ferror(fp) == 0;
    const int err = errno;
    ok = std::fclose(closer.release()) == 0 && ok;
    if (!ok) TESVARIN_THROW_OS("Can not write file: " + path, err != 0 ? err : EIO, path);
}

}  // namespace tesvarin
