// The whole chain on checkpoints the program itself wrote (read in place from the shared
// folders beside the project), so the sanitizer build sees real sizes and real bases. What
// we write is checked against what came beside each checkpoint: formchk's scalar lines, and
// the .log's basis size, electron counts, charge and multiplicity.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <tuple>
#include <vector>

#include "chk_builder.hpp"
#include "shared_data.hpp"

namespace fs = std::filesystem;

namespace {
const fs::path kRoot = TESVARIN_SOURCE_DIR;

std::vector<fs::path> checkpoints() {
    std::vector<fs::path> found{kRoot / "examples" / "water.chk"};
    for (const char* folder : {"realchk", "realchk2"}) {
        const fs::path real = shared_folder() / folder;
        if (!fs::is_directory(real)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(real))
            if (entry.path().extension() == ".chk") found.push_back(entry.path());
    }
    return found;
}

std::string slurp(const fs::path& path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

std::string format(const char* pattern, int64_t a, int64_t b = 0) {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, pattern, static_cast<long long>(a), static_cast<long long>(b));
    return buffer;
}

// label -> whole line, for the scalar entries ("I" or "R" with no "N=") of an fchk text.
std::map<std::string, std::string> scalar_lines(const std::string& fchk) {
    std::map<std::string, std::string> lines;
    std::istringstream in(fchk);
    for (std::string line; std::getline(in, line);) {
        if (line.size() > 49 && line.compare(40, 3, "   ") == 0 && line.compare(44, 5, "     ") == 0)
            lines[line.substr(0, line.find_last_not_of(' ', 39) + 1)] = line;
    }
    return lines;
}
}  // namespace

TEST(RealFiles, WrittenFilesAgreeWithFormchkAndLog) {
    const auto files = checkpoints();
    if (files.size() == 1) GTEST_SKIP() << "the shared realchk folders are absent beside the project";
    int parsed = 0, with_fchk = 0, with_log = 0;
    for (const fs::path& path : files) {
        const std::string error = chk::parse_error(path.string());
        if (error != "no exception") {
            // 32-bit builds and jobs that died before writing the molecule.
            EXPECT_TRUE(error.find("Gaussian 64 bit version") != std::string::npos ||
                        error.find("No Mol sections in .chk") != std::string::npos)
                << path << "\n"
                << error;
            continue;
        }
        const Tesvarin t(path.string());
        const std::string fchk = chk::temp_path("out.fchk"), gjf = chk::temp_path("out.gjf");
        t.write_fchk(fchk);
        t.write_gjf(gjf);
        ++parsed;
        auto ours = scalar_lines(slurp(fchk));
        const auto value = [&ours](const char* label) { return std::stoll(ours[label].substr(49)); };
        const int64_t natoms = value("Number of atoms"), charge = value("Charge"), mult = value("Multiplicity");

        // The gjf: charge and multiplicity, one line per atom, the empty line that ends the molecule.
        std::istringstream in(slurp(gjf));
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        ASSERT_GE(lines.size(), 7u) << path;
        EXPECT_EQ(lines[5], format("%4lld %4lld", charge, mult)) << path;
        EXPECT_EQ(static_cast<int64_t>(lines.size()) - 7, natoms) << path;
        EXPECT_EQ(lines.back(), "") << path;

        // Only the shared folders hold the program's own files beside a checkpoint: what lies beside
        // the bundled example is ours (`tesvarin fchk examples/water.chk` writes it), never a reference.
        const bool bundled = path.parent_path() == kRoot / "examples";
        const fs::path formchk = fs::path(path).replace_extension(".fchk");
        if (!bundled && fs::is_regular_file(formchk)) {
            ++with_fchk;
            const std::string ref = slurp(formchk);
            for (const char* label :
                 {"Number of atoms", "Charge", "Multiplicity", "Number of electrons", "Number of alpha electrons",
                  "Number of beta electrons", "Number of basis functions", "SCF Energy", "Total Energy"})
                EXPECT_NE(ref.find("\n" + ours[label] + "\n"), std::string::npos) << path << "\n" << ours[label];
        }
        const fs::path log = fs::path(path).replace_extension(".log");
        if (!bundled && fs::is_regular_file(log)) {
            ++with_log;
            const std::string text = slurp(log);
            for (const std::string& printed :
                 {format("%6lld basis functions,", value("Number of basis functions")),
                  format("%6lld alpha electrons%9lld beta electrons", value("Number of alpha electrons"),
                         value("Number of beta electrons")),
                  format("Charge = %2lld Multiplicity = %lld", charge, mult)})
                EXPECT_NE(text.find(printed), std::string::npos) << path << "\n" << printed;
        }
    }
    // The bundled example, the 28 files of realchk that hold a molecule (15 with formchk's file, 27 with a
    // .log) and the 9 of realchk2 (7 with a .log).
    const bool old = fs::is_directory(shared_folder() / "realchk");
    const bool newer = fs::is_directory(shared_folder() / "realchk2");
    EXPECT_EQ(std::make_tuple(parsed, with_fchk, with_log),
              std::make_tuple(1 + 28 * old + 9 * newer, 15 * old, 27 * old + 7 * newer));
}
