// The text of a formatted checkpoint: labelled scalars and arrays in formchk's
// column layout, appended to one buffer. Every fchk line goes through here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tesvarin {

class FchkText {
public:
    std::string out;

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
    void real_array(const std::string& label, const std::vector<double>& v) { real_array(label, v.data(), v.size()); }
    void int_array(const std::string& label, const std::vector<int64_t>& v) { int_array(label, v.data(), v.size()); }
    // Text in pieces of 12 characters, five to a line; the last piece unpadded.
    void text_array(const std::string& label, const std::string& text) { text_pieces(label, text, false); }
    // The same with the last piece padded with blanks to 12, as formchk writes it.
    void padded_text_array(const std::string& label, const std::string& text) { text_pieces(label, text, true); }

private:
    void header(const std::string& label, char type, size_t n);
    void text_pieces(const std::string& label, const std::string& text, bool pad);
};

// The two-step rounding of real_scalar_two_step, appended in "%22.15E" form.
void append_sci_two_step(std::string& out, double v);

}  // namespace tesvarin
