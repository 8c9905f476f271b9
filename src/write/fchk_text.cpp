#include "tesvarin/write/fchk_text.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "tesvarin/thread_jobs.hpp"
#include "tesvarin/write/number_format.hpp"

namespace tesvarin {

namespace {
// "%16.8E" into 16 bytes (it never prints more), except that a magnitude printing with a
// three-digit negative exponent would fill all 16 columns and run into a negative
// neighbour: such values are zero.
void put_real(char* dst, double v) {
    format_sci16_8(dst, v);
    if (std::fabs(v) < 1e-98 && dst[12] == '-') std::memcpy(dst, "  0.00000000E+00", 16);
}

// Bytes of `count` reals five to a line, each 16 wide, every line ended.
size_t real_lines_bytes(size_t count) { return count * 16 + (count + 4) / 5; }

// `count` reals in lines of five at dst; `count` is a multiple of five unless these
// are the array's last values.
void put_real_lines(char* dst, const double* v, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        put_real(dst, v[i]);
        dst += 16;
        if (i % 5 == 4) *dst++ = '\n';
    }
    if (count % 5 != 0) *dst = '\n';
}

// Arrays this long are formatted on several threads; shorter ones are not worth a thread.
constexpr size_t kParallelValues = size_t{1} << 15;
// Values one thread formats at a time when streaming: 2.6 MB of text.
constexpr size_t kChunkValues = 5 * 32768;
// The pending text is written out once it reaches this size.
constexpr size_t kFlushBytes = size_t{1} << 20;
}  // namespace

FchkText::FchkText(std::FILE* sink, unsigned threads) : sink_(sink), threads_(std::max(1u, threads)) {}

bool FchkText::flush() {
    if (sink_ != nullptr && !out.empty()) {
        ok_ = ok_ && std::fwrite(out.data(), 1, out.size(), sink_) == out.size();
        out.clear();
    }
    return ok_;
}

void FchkText::flush_if_full() {
    if (out.size() >= kFlushBytes) flush();
}

void FchkText::padded(const std::string& text, size_t width) {
    out += text;
    if (text.size() < width) out.append(width - text.size(), ' ');
}

void FchkText::int_scalar(const std::string& label, int64_t v) {
    padded(label, 40);
    out += "   I     ";
    append_int(out, v, 12);
    out += '\n';
    flush_if_full();
}

void FchkText::real_scalar(const std::string& label, double v) {
    padded(label, 40);
    out += "   R     ";
    append_sci(out, v, 22, 15);
    out += '\n';
    flush_if_full();
}

void FchkText::real_scalar_two_step(const std::string& label, double v) {
    padded(label, 40);
    out += "   R     ";
    append_sci_two_step(out, v);
    out += '\n';
    flush_if_full();
}

void FchkText::int_array(const std::string& label, const int64_t* v, size_t n) {
    header(label, 'I', n);
    for (size_t i = 0; i < n; ++i) {
        append_int(out, v[i], 12);
        if (i % 6 == 5 || i + 1 == n) {
            out += '\n';
            flush_if_full();
        }
    }
}

void FchkText::real_array(const std::string& label, const double* v, size_t n) {
    header(label, 'R', n);
    if (sink_ == nullptr || n < kParallelValues) {
        const size_t start = out.size();
        out.resize(start + real_lines_bytes(n));
        put_real_lines(&out[start], v, n);
        flush_if_full();
        return;
    }
    // Streaming: each round, every thread formats the next chunk into its own buffer,
    // then the buffers go out in order.
    flush();
    chunks_.resize(threads_);
    for (size_t done = 0; done < n;) {
        const size_t first = done;
        run_jobs(threads_, [&](unsigned j) {
            const size_t begin = std::min(n, first + j * kChunkValues);
            const size_t count = std::min(n - begin, kChunkValues);
            chunks_[j].resize(real_lines_bytes(count));
            put_real_lines(chunks_[j].data(), v + begin, count);
        });
        for (unsigned j = 0; j < threads_ && done < n; ++j) {
            ok_ = ok_ && std::fwrite(chunks_[j].data(), 1, chunks_[j].size(), sink_) == chunks_[j].size();
            done += std::min(n - done, kChunkValues);
        }
    }
}

void FchkText::text_pieces(const std::string& label, const std::string& text, bool pad) {
    const size_t pieces = (text.size() + 11) / 12;
    header(label, 'C', pieces);
    for (size_t i = 0; i < pieces; ++i) {
        const size_t before = out.size();
        out.append(text, i * 12, 12);
        if (pad) out.append(12 - (out.size() - before), ' ');
        if (i % 5 == 4 || i + 1 == pieces) out += '\n';
    }
    flush_if_full();
}

void FchkText::header(const std::string& label, char type, size_t n) {
    padded(label, 40);
    out += "   ";
    out += type;
    out += "   N=";
    append_uint(out, n, 12);
    out += '\n';
}

}  // namespace tesvarin
