#include "tesvarin/text_output.hpp"

#include <cstdio>

bool write_whole_file(const std::string& path, const std::string& content) {
    FILE* fp = std::fopen(path.c_str(), "w");
    if (fp == nullptr) return false;
    const bool written = std::fwrite(content.data(), 1, content.size(), fp) == content.size();
    const bool flushed = std::fflush(fp) == 0 && std::ferror(fp) == 0;
    const bool closed = std::fclose(fp) == 0;
    return written && flushed && closed;
}
