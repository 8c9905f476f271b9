#include "tesvarin/fchk_text.hpp"

#include <cmath>

#include "tesvarin/number_format.hpp"

namespace tesvarin {

namespace {
// "%16.8E", except that a magnitude printing with a three-digit negative exponent
// would fill all 16 columns and run into a negative neighbour: such values are zero.
void put_real(std::string& out, double v) {
    const size_t start = out.size();
    append_sci(out, v, 16, 8);
    if (std::fabs(v) < 1e-98 && out[out.size() - 4] == '-') {
        out.resize(start);
        out += "  0.00000000E+00";
    }
}
}  // namespace

void append_sci_two_step(std::string& out, double v) {
    if (!std::isfinite(v)) {
        append_sci(out, v, 22, 15);
        return;
    }
    // 17 significant digits, correctly rounded: [-]d.dddddddddddddddde[+-]xx
    std::string s;
    append_sci(s, v, 0, 16);
    const size_t mantissa = s[0] == '-' ? 1 : 0;
    const size_t e = s.find('E');
    std::string digits = s.substr(mantissa, 1) + s.substr(mantissa + 2, e - mantissa - 2);  // 17 digits
    int exponent = std::stoi(s.substr(e + 1));
    const bool up = digits[16] >= '5';
    digits.resize(16);
    if (up) {
        int k = 15;
        while (k >= 0 && digits[k] == '9') digits[k--] = '0';
        if (k >= 0) {
            ++digits[k];
        } else {  // 9.99...9 rounded up to 10.0...0
            digits.insert(digits.begin(), '1');
            digits.resize(16);
            ++exponent;
        }
    }
    std::string text = (mantissa ? "-" : "") + digits.substr(0, 1) + "." + digits.substr(1) + "E";
    text += exponent < 0 ? '-' : '+';
    const int mag = std::abs(exponent);
    if (mag < 10) text += '0';
    text += std::to_string(mag);
    if (text.size() < 22) out.append(22 - text.size(), ' ');
    out += text;
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
}

void FchkText::real_scalar(const std::string& label, double v) {
    padded(label, 40);
    out += "   R     ";
    append_sci(out, v, 22, 15);
    out += '\n';
}

void FchkText::real_scalar_two_step(const std::string& label, double v) {
    padded(label, 40);
    out += "   R     ";
    append_sci_two_step(out, v);
    out += '\n';
}

void FchkText::int_array(const std::string& label, const int64_t* v, size_t n) {
    header(label, 'I', n);
    for (size_t i = 0; i < n; ++i) {
        append_int(out, v[i], 12);
        if (i % 6 == 5 || i + 1 == n) out += '\n';
    }
}

void FchkText::real_array(const std::string& label, const double* v, size_t n) {
    header(label, 'R', n);
    for (size_t i = 0; i < n; ++i) {
        put_real(out, v[i]);
        if (i % 5 == 4 || i + 1 == n) out += '\n';
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
