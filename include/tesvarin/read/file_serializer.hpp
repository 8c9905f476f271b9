// Binary access to one checkpoint file: 8-byte words, optionally byte-reversed.
// The same transfer calls read in read mode and write in write mode.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "tesvarin/error.hpp"

// Reverses, in place, the byte order of `count` consecutive 8-byte words.
inline void swap8_aligned(void* data, int64_t count) {
    auto* bytes = static_cast<unsigned char*>(data);
    for (int64_t w = 0; w < count; ++w, bytes += 8) {
        uint64_t word;
        std::memcpy(&word, bytes, 8);
        word = __builtin_bswap64(word);
        std::memcpy(bytes, &word, 8);
    }
}

class FileSerializer {
public:
    FileSerializer(const char* name, const char* mode, bool swap)
        : fp(nullptr), name(name), read_mode(mode[0] == 'r'), swap(false), fsize(0) {
        fp = read_mode ? open_regular(name) : fopen64(name, mode);
        if (fp == nullptr && regular) {
            const int err = errno;
            TESVARIN_THROW_OS(std::string("Can not open/write file: ") + name, err, name);
        }
        this->swap = swap;
        if (read_mode && regular) {
            fseeko64(fp, 0, SEEK_END);
            fsize = ftello64(fp);
            fseeko64(fp, 0, SEEK_SET);
        }
    }
    ~FileSerializer() {
        if (fp != nullptr) fclose(fp);
        fp = nullptr;
    }
    FileSerializer(const FileSerializer&) = delete;
    FileSerializer& operator=(const FileSerializer&) = delete;

    // False for a FIFO, a device or a directory: such a file is opened but never read.
    bool is_regular() const { return regular; }

    int64_t get_fsize() const {
        if (!read_mode) TESVARIN_THROW("get_fsize only use in read mode");
        return fsize;
    }

    bool do_int64(int64_t* value) const { return transfer8(value); }
    bool do_double(double* value) const { return transfer8(value); }
    bool do_char(char* value) const { return read_mode ? fread(value, 1, 1, fp) == 1 : fwrite(value, 1, 1, fp) == 1; }

    // Reads up to `count` 8-byte words into `dst` with one stream call. Words past the
    // end of the file, and a word that was only partly read, are left zero.
    // Returns the number of whole words read.
    template <typename T>
    int64_t read_words(T* dst, int64_t count) const {
        static_assert(sizeof(T) == 8, "checkpoint words are 8 bytes");
        if (count <= 0) return 0;
        const size_t bytes = static_cast<size_t>(count) * 8;
        const size_t got = fread(dst, 1, bytes, fp);
        const size_t whole = got / 8;
        std::memset(reinterpret_cast<unsigned char*>(dst) + whole * 8, 0, bytes - whole * 8);
        if (swap) swap8_aligned(dst, static_cast<int64_t>(whole));
        return static_cast<int64_t>(whole);
    }

    // Reads up to `count` bytes; returns how many were read.
    size_t read_bytes(char* dst, size_t count) const { return count == 0 ? 0 : fread(dst, 1, count, fp); }

    void seek(int64_t byte_offset) const { fseeko(fp, byte_offset, SEEK_SET); }
    void skip(int64_t byte_count) const { fseeko(fp, byte_count, SEEK_CUR); }
    int64_t tell() const { return ftello(fp); }

private:
    // Opens for reading without blocking (a FIFO with no writer would block an
    // ordinary open for ever) and hands out a stream only for a regular file;
    // a directory fails with EISDIR, anything else returns null with `regular` false.
    FILE* open_regular(const char* path) {
        const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return nullptr;
        struct stat st{};
        const bool stat_ok = fstat(fd, &st) == 0;
        if (stat_ok && S_ISDIR(st.st_mode)) {  // refused as open() refuses it, with its errno
            ::close(fd);
            errno = EISDIR;
            return nullptr;
        }
        regular = !stat_ok || S_ISREG(st.st_mode);
        FILE* stream = stat_ok && regular ? fdopen(fd, "rb") : nullptr;
        if (stream == nullptr) ::close(fd);
        return stream;
    }

    template <typename T>
    bool transfer8(T* value) const {
        if (read_mode) {
            if (fread(value, 8, 1, fp) != 1) return false;
            if (swap) swap8_aligned(value, 1);
            return true;
        }
        T tmp = *value;
        if (swap) swap8_aligned(&tmp, 1);
        return fwrite(&tmp, 8, 1, fp) == 1;
    }

    FILE* fp;
    std::string name;
    bool read_mode;
    bool swap;
    int64_t fsize;
    bool regular = true;
};
