// The whole chain on checkpoints the program itself wrote (read in place from the shared
// folder beside the project), so the sanitizer build sees real sizes and real bases.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "chk_builder.hpp"

namespace fs = std::filesystem;

namespace {
const fs::path kRoot = TESVARIN_SOURCE_DIR;

std::vector<fs::path> checkpoints() {
    std::vector<fs::path> found{kRoot / "examples" / "water.chk"};
    const fs::path real = kRoot.parent_path() / "shared" / "realchk";
    if (fs::is_directory(real)) {
        for (const auto& entry : fs::recursive_directory_iterator(real))
            if (entry.path().extension() == ".chk") found.push_back(entry.path());
    }
    return found;
}
}  // namespace

TEST(RealFiles, ParseAndWriteBothFiles) {
    const auto files = checkpoints();
    if (files.size() == 1) GTEST_SKIP() << "the shared realchk folder is absent beside the project";
    int parsed = 0;
    for (const fs::path& path : files) {
        const std::string error = chk::parse_error(path.string());
        if (error != "no exception") {
            // 32-bit builds and jobs that died before writing the molecule.
            EXPECT_TRUE(error.find("Gaussian 64 bit version") != std::string::npos ||
                        error.find("No Mol sections in .chk") != std::string::npos)
                << path << "\n" << error;
            continue;
        }
        const Tesvarin t(path.string());
        const std::string fchk = chk::temp_path("out.fchk"), gjf = chk::temp_path("out.gjf");
        t.write_fchk(fchk);
        t.write_gjf(gjf);
        std::stringstream text;
        text << std::ifstream(fchk).rdbuf();
        EXPECT_NE(text.str().find("Number of atoms"), std::string::npos) << path;
        ++parsed;
    }
    EXPECT_EQ(parsed, 29);  // the bundled example and the 28 real files that hold a molecule
}
