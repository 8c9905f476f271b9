// Whole-file output for the text writers.
#pragma once

#include <string>

// Creates (or replaces) `path` with `content`. False when the file cannot be
// opened, or when any byte fails to reach it (a full disk shows only at close).
bool write_whole_file(const std::string& path, const std::string& content);
