// Where the real checkpoints written by the program lie: ../shared beside the project,
// or TESVARIN_SHARED (a folder that does not exist runs the suite as if they were absent).
#pragma once

#include <cstdlib>
#include <filesystem>

inline std::filesystem::path shared_folder() {
    if (const char* env = std::getenv("TESVARIN_SHARED"); env != nullptr && *env != '\0') return env;
    return std::filesystem::path(TESVARIN_SOURCE_DIR).parent_path() / "shared";
}
