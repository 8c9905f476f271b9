// Numbers in messages: the shortest text that reads back as the value. Shared by the
// readers, the numerics and the writers, so none of them needs another's header.
#pragma once

#include <charconv>
#include <cmath>
#include <string>

namespace tesvarin {

// The shortest text that reads back as `v` ("1e+300", "0.5", "nan", "-inf").
inline std::string shortest(double v) {
    if (std::isnan(v)) return "nan";
    if (std::isinf(v)) return v < 0 ? "-inf" : "inf";
    char buf[32];
    const auto result = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, result.ptr);
}

}  // namespace tesvarin
