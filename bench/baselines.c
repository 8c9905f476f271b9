/* The limits the benchmark compares against, as plain C on the same file:
 *
 *   baselines mmap FILE         map the file and memcpy it into fresh memory
 *   baselines fread FILE        read it into fresh memory with one fread per 8-byte word
 *   baselines fprintf FILE OUT  fprintf("%16.8E") every word after the directory, five to a line
 *   baselines cores             the same arithmetic twice on one thread, then once on each of two
 *
 * Each prints "<seconds> <bytes, values or second seconds>" on one line.
 * Build: cc -O2 -pthread bench/baselines.c
 */
#define _GNU_SOURCE
#include <fcntl.h>
#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

static double now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + 1e-9 * (double)t.tv_nsec;
}

static const unsigned char* map_file(const char* path, size_t* size) {
    const int fd = open(path, O_RDONLY);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) return NULL;
    *size = (size_t)st.st_size;
    void* data = mmap(NULL, *size, PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    return data == MAP_FAILED ? NULL : data;
}

/* A checksum of the destination keeps the compiler from dropping the copy. */
static unsigned sample(const unsigned char* data, size_t size) {
    unsigned sum = 0;
    for (size_t i = 0; i < size; i += 4096) sum += data[i];
    return sum;
}

/* Enough pure arithmetic for about a second of one core. */
static void* spin(void* out) {
    uint64_t x = 88172645463325252ull;
    for (long i = 0; i < 400000000L; ++i) x ^= x << 13, x ^= x >> 7, x ^= x << 17;
    *(uint64_t*)out = x;
    return NULL;
}

int main(int argc, char** argv) {
    if (argc == 2 && strcmp(argv[1], "cores") == 0) {
        uint64_t sink[2];
        double start = now();
        spin(&sink[0]), spin(&sink[1]);
        const double serial = now() - start;
        pthread_t other;
        start = now();
        pthread_create(&other, NULL, spin, &sink[1]);
        spin(&sink[0]);
        pthread_join(other, NULL);
        printf("%.6f %.6f %u\n", serial, now() - start, (unsigned)(sink[0] ^ sink[1]));
        return 0;
    }
    if (argc < 3) {
        fprintf(stderr, "usage: %s mmap|fread|fprintf FILE [OUT]\n", argv[0]);
        return 2;
    }
    const char* mode = argv[1];
    size_t size = 0;
    if (strcmp(mode, "mmap") == 0) {
        const double start = now();
        const unsigned char* data = map_file(argv[2], &size);
        unsigned char* copy = malloc(size);
        if (data == NULL || copy == NULL) return 1;
        memcpy(copy, data, size);
        const double elapsed = now() - start;
        printf("%.6f %zu %u\n", elapsed, size, sample(copy, size));
        return 0;
    }
    if (strcmp(mode, "fread") == 0) {
        const double start = now();
        FILE* fp = fopen(argv[2], "rb");
        if (fp == NULL) return 1;
        fseeko(fp, 0, SEEK_END);
        size = (size_t)ftello(fp);
        fseeko(fp, 0, SEEK_SET);
        int64_t* words = malloc(size);
        if (words == NULL) return 1;
        size_t n = 0;
        while (n < size / 8 && fread(&words[n], 8, 1, fp) == 1) ++n;
        fclose(fp);
        const double elapsed = now() - start;
        printf("%.6f %zu %u\n", elapsed, n * 8, sample((const unsigned char*)words, size));
        return 0;
    }
    if (strcmp(mode, "fprintf") == 0 && argc > 3) {
        const unsigned char* data = map_file(argv[2], &size);
        if (data == NULL) return 1;
        int64_t entries;
        memcpy(&entries, data, 8);
        const size_t first = 4 + 4 * (size_t)entries, count = size / 8 - first;
        FILE* out = fopen(argv[3], "w");
        if (out == NULL) return 1;
        const double start = now();
        for (size_t i = 0; i < count; ++i) {
            double v;
            memcpy(&v, data + 8 * (first + i), 8);
            fprintf(out, "%16.8E", v);
            if (i % 5 == 4 || i + 1 == count) fputc('\n', out);
        }
        fclose(out);
        printf("%.6f %zu\n", now() - start, count);
        return 0;
    }
    fprintf(stderr, "unknown mode %s\n", mode);
    return 2;
}
