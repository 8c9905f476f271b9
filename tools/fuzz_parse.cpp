// Fuzzing harness: parses each file named on the command line and writes the gjf and
// both fchk files to /dev/null. Any reader error is fine; a crash or a sanitizer report is not.
#include <cstdio>
#include <exception>

#include "tesvarin/parser.hpp"

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        try {
            const Tesvarin t(argv[i]);
            t.write_fchk("/dev/null");
            t.write_gjf("/dev/null");
            t.write_complete_fchk("/dev/null");
        } catch (const std::exception&) {
            // A clean refusal is what damaged input should get.
        }
    }
    return 0;
}
