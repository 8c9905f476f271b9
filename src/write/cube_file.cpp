#include "tesvarin/write/cube_file.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <memory>
#include <thread>

#include "tesvarin/error.hpp"
#include "tesvarin/thread_jobs.hpp"
#include "tesvarin/write/number_format.hpp"

namespace tesvarin {
namespace {

constexpr int64_t kChunkValues = 1 << 16;  // values one thread formats at a time
constexpr int64_t kBatchChunks = 8;        // chunks formatted before they are written out

// A title is one line: any line break in it would shift every later line of the header.
std::string one_line(const std::string& text) {
    std::string line = text;
    for (char& c : line)
        if (c == '\n' || c == '\r' || c == '\0') c = ' ';
    return line;
}

// Every field after the first on a line starts with a blank, as the readers that split on blanks
// (and Fortran's list-directed reads) need: a field that would fill its columns gives up digits.

// F<width>.<precision>, with fewer decimals where the integer part needs the columns
// (coordinates from 10 000 Bohr, or -1000) and E notation where even one decimal leaves no blank
// (a Fortran F edit reads either).
void append_real(std::string& out, double v, int width, int precision) {
    std::string field;
    for (int d = precision; d >= 1; --d) {
        field.clear();
        append_fixed(field, v, width, d);
        if (static_cast<int>(field.size()) == width && field[0] == ' ') return void(out += field);
    }
    for (int d = width - 8; d >= 0; --d) {
        field.clear();
        append_sci(field, v, width, d);
        if (static_cast<int>(field.size()) == width && field[0] == ' ') return void(out += field);
    }
    out += ' ';
    append_sci(out, v, 0, 0);
}

// I<width>, widened by a blank in front when the number fills it.
void append_count(std::string& out, int64_t v, int width) {
    const size_t at = out.size();
    append_int(out, v, width);
    if (out[at] != ' ') out.insert(at, 1, ' ');
}

void count_and_vector(std::string& out, int64_t count, const std::array<double, 3>& v) {
    append_int(out, count, 5);
    for (double c : v) append_real(out, c, 12, 6);
    out += '\n';
}

// %13.5E, except that a value too small for a two-digit exponent is written as zero (its 13
// columns would have no room for the blank that separates it from a negative neighbour), and a
// negative one too large for it keeps four decimals.
void append_value(std::string& out, double v) {
    if (std::fabs(v) < 1e-99) v = std::signbit(v) ? -0.0 : 0.0;
    const size_t at = out.size();
    append_sci(out, v, 13, 5);
    if (out[at] != ' ') out.resize(at), append_sci(out, v, 13, 4);
}

}  // namespace

void write_cube(const std::string& path, const CubeHeader& h, const double* values, unsigned threads) {
    const int64_t points = grid_point_count(h.grid);
    const auto nval = static_cast<int64_t>(h.orbitals.empty() ? 1 : h.orbitals.size());
    std::string out;
    out += one_line(h.title) + '\n' + one_line(h.comment) + '\n';
    const auto natoms = static_cast<int64_t>(h.atoms.size());
    count_and_vector(out, h.orbitals.empty() ? natoms : -natoms, h.grid.origin);
    for (int i = 0; i < 3; ++i)
        count_and_vector(out, h.grid.counts[static_cast<size_t>(i)], h.grid.axes[static_cast<size_t>(i)]);
    for (const CubeAtom& a : h.atoms) {
        append_int(out, a.number, 5);
        append_real(out, a.charge, 12, 6);
        for (double c : a.xyz) append_real(out, c, 12, 6);
        out += '\n';
    }
    if (!h.orbitals.empty()) {
        std::vector<int64_t> line{nval};
        line.insert(line.end(), h.orbitals.begin(), h.orbitals.end());
        for (size_t i = 0; i < line.size(); ++i) {
            if (i % 10 == 0)
                append_int(out, line[i], 5);
            else
                append_count(out, line[i], 5);
            if (i % 10 == 9 || i + 1 == line.size()) out += '\n';
        }
    }
    std::FILE* fp = std::fopen(path.c_str(), "w");
    if (fp == nullptr) {
        const int err = errno;
        TESVARIN_THROW_OS("Can not write file: " + path, err, path);
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(fp, std::fclose);
    bool ok = std::fwrite(out.data(), 1, out.size(), fp) == out.size();
    // The values, formatted a chunk of rows per thread and written in order, a batch at a time.
    const int64_t row = h.grid.counts[2] * nval;  // one line group per (x, y): the z row, orbitals fastest
    const int64_t rows = row > 0 ? points * nval / row : 0;
    const int64_t rows_per_chunk = std::max<int64_t>(1, kChunkValues / std::max<int64_t>(row, 1));
    const int64_t nchunks = (rows + rows_per_chunk - 1) / rows_per_chunk;
    const auto format_chunk = [&](int64_t chunk, std::string& text) {
        text.clear();
        const int64_t last = std::min(rows, (chunk + 1) * rows_per_chunk);
        for (int64_t r = chunk * rows_per_chunk; r < last; ++r) {
            const double* v = values + r * row;
            for (int64_t i = 0; i < row; ++i) {
                append_value(text, v[i]);
                if (i % 6 == 5 || i + 1 == row) text += '\n';
            }
        }
    };
    const unsigned nthreads = threads != 0 ? threads : std::min(2u, std::max(1u, std::thread::hardware_concurrency()));
    std::vector<std::string> texts(static_cast<size_t>(kBatchChunks));
    for (int64_t first = 0; ok && first < nchunks; first += kBatchChunks) {
        const int64_t count = std::min(kBatchChunks, nchunks - first);
        std::atomic<int64_t> next{0};
        const auto jobs = static_cast<unsigned>(std::min<int64_t>(nthreads, count));
        run_jobs(jobs, [&](unsigned) {
            try {
                for (int64_t c; (c = next++) < count;) format_chunk(first + c, texts[static_cast<size_t>(c)]);
            } catch (...) {
                next = count;  // the others stop at their next chunk
                throw;
            }
        });
        for (int64_t c = 0; c < count; ++c) {
            const std::string& text = texts[static_cast<size_t>(c)];
            ok = ok && std::fwrite(text.data(), 1, text.size(), fp) == text.size();
        }
    }
    ok = ok && std::fflush(fp) == 0 && std::ferror(fp) == 0;
    const int err = errno;
    ok = std::fclose(closer.release()) == 0 && ok;
    if (!ok) TESVARIN_THROW_OS("Can not write file: " + path, err != 0 ? err : EIO, path);
}

}  // namespace tesvarin
