#include "tesvarin/error.hpp"

_Error::_Error(const std::string& message, const char* source_file, int line, const char* function)
    : std::runtime_error(message) {
    text = "Error: " + message + "\n\nSource File:\t" + source_file + ", Line: " + std::to_string(line) +
           "\nFunction:\t" + function;
}
