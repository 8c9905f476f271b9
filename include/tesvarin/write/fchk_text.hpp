// The text of a formatted checkpoint: labelled scalars and arrays in formchk's
// column layout. Every fchk line goes through here.
//
// Without a sink the text accumulates in `out`. With one, `out` is written out
// whenever it passes about a megabyte, and long real arrays go to the file chunk by
// chunk, formatted on several threads into buffers that are written in order: the
// extra memory while writing stays a few megabytes per thread, whatever the file's size.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace tesvarin {

class FchkText {
public:
    std::string out;

    FchkText() = default;
    FchkText(std::FILE* sink, unsigned threads);

    // Writes the pending text to the sink; false once any write has failed.
    bool flush();

    // "%-*s": text padded with blanks to `width` (longer text is kept whole).
    void padded(const std::string& text, size_t width);
    void int_scalar(const std::string& label, int64_t v);
    // "%22.15E", correctly rounded.
    void real_scalar(const std::string& label, double v);
    // "%22.15E" as formchk prints it: the exact value rounded to 17 significant
    // digits, then that decimal to 16 with ties away from zero.
    void real_scalar_two_step(const std::string& label, double v);
    void int_array(const std::string& label, const int64_t* v, size_t n);
    void real_array(const std::string& label, const double* v, size_t n);
    template <typename Alloc>
    void real_array(const std::string& label, const std::vector<double, Alloc>& v) {
        real_array(label, v.data(), v.size());
    }
    void int_array(const std::string& label, const std::vector<int64_t>& v) { int_array(label, v.data(), v.size()); }
    // Text in pieces of 12 characters, five to a line; the last piece unpadded.
    void text_array(const std::string& label, const std::string& text) { text_pieces(label, text, false); }
    // The same with the last piece padded with blanks to 12, as formchk writes it.
    void padded_text_array(const std::string& label, const std::string& text) { text_pieces(label, text, true); }

private:
    void header(const std::string& label, char type, size_t n);
    void text_pieces(const std::string& label, const std::string& text, bool pad);
    void flush_if_full();

    std::FILE* sink_ = nullptr;
    unsigned threads_ = 1;
    bool ok_ = true;
    std::vector<std::vector<char>> chunks_;  // one per thread while streaming a long array
};

}  // namespace tesvarin
