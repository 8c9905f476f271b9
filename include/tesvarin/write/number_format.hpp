// printf-compatible number formatting for the text writers (formatted checkpoint,
// input file). The output must match glibc snprintf byte for byte so files we
// write diff cleanly against files written by the original tools, but
// snprintf's parser and locale handling dominate the cost of writing large
// arrays, so these go straight through std::to_chars instead.
//
// Every function APPENDS to `out`, so a writer can build a whole file in one
// buffer. A negative width left-justifies, and a negative precision means 6,
// exactly as with printf's "*" arguments.
#pragma once

#include <cstdint>
#include <string>

namespace tesvarin {

// Same bytes as snprintf("%*.*E", width, precision, v): "INF", "NAN" and
// "-NAN" (glibc keeps the sign bit of a NaN), "-0.00000000E+00" for -0.0.
void append_sci(std::string& out, double v, int width, int precision);

// Same 16 bytes as snprintf("%16.8E", v), which never prints more than 16
// characters, written at `dst` without a terminating NUL.
void format_sci16_8(char* dst, double v);

// "%22.15E" as formchk prints its real scalars: the exact value correctly rounded to
// 17 significant digits, then that decimal rounded to 16 with ties away from zero.
// Infinities and NaNs as append_sci(out, v, 22, 15).
void append_sci_two_step(std::string& out, double v);

// Same bytes as snprintf("%*.*f", width, precision, v): lowercase "inf"/"nan",
// and values wider than `width` are written whole, never truncated.
void append_fixed(std::string& out, double v, int width, int precision);

// Same bytes as snprintf("%*lld", width, v), INT64_MIN included.
void append_int(std::string& out, int64_t v, int width);

// Same bytes as snprintf("%*llu", width, v); used for sizes ("%zu").
void append_uint(std::string& out, uint64_t v, int width);

}  // namespace tesvarin
