// The one exception type of the reader, and the throw helper that stamps it
// with the source file, line and full signature of the throwing function.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

class _Error : public std::runtime_error {
public:
    _Error(const std::string& message, const char* source_file, int line, const char* function);
    const char* what() const noexcept override { return text.c_str(); }

    // A failed open keeps the system's reason and the path, so that callers can tell
    // a missing or unreadable file from one that is not a checkpoint. 0 and "" otherwise.
    _Error&& with_os_error(int errnum, const std::string& path) && {
        os_errno = errnum;
        os_path = path;
        return std::move(*this);
    }
    int error_number() const noexcept { return os_errno; }
    const std::string& path() const noexcept { return os_path; }

private:
    std::string text;
    int os_errno = 0;
    std::string os_path;
};

// __FILE__ is rendered relative to the project root by the build (-fmacro-prefix-map).
#define TESVARIN_THROW(message) throw _Error((message), __FILE__, __LINE__, __PRETTY_FUNCTION__)
// The same for a failed open or write of `path`, with the errno that the system call left.
#define TESVARIN_THROW_OS(message, errnum, path) \
    throw _Error((message), __FILE__, __LINE__, __PRETTY_FUNCTION__).with_os_error((errnum), (path))
