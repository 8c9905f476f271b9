// The one exception type of the reader, and the throw helper that stamps it
// with the source file, line and full signature of the throwing function.
#pragma once

#include <stdexcept>
#include <string>

class _Error : public std::runtime_error {
public:
    _Error(const std::string& message, const char* source_file, int line, const char* function);
    const char* what() const noexcept override { return text.c_str(); }

private:
    std::string text;
};

// __FILE__ is rendered relative to the project root by the build (-fmacro-prefix-map).
#define TESVARIN_THROW(message) throw _Error((message), __FILE__, __LINE__, __PRETTY_FUNCTION__)
