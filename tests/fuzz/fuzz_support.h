// Helpers shared by the fuzz targets: scratch files in memory-backed storage,
// exactly sized heap buffers with guard bytes behind them, and a loud failure
// for a broken property (an abort, so that libFuzzer keeps the input).
#pragma once

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace fuzz {

[[noreturn]] inline void fail(const char* what) {
    fprintf(stderr, "fuzz property broken: %s\n", what);
    abort();
}

inline void check(bool condition, const char* what) {
    if (!condition) fail(what);
}

// A scratch file path for tag, unique to this process, in /dev/shm when it
// exists (every input is written to disk once, so it had better be memory).
// The file is removed when the process ends normally. Callers keep the result
// in a static.
inline std::string scratchPath(const char* tag) {
    static std::vector<std::string> made;
    struct stat st;
    std::string dir = stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) ? "/dev/shm" : "/tmp";
    std::string path = dir + "/ss-fuzz-" + tag + "-" + std::to_string(getpid());
    if (made.empty())
        atexit([] {
            for (const std::string& p : made) unlink(p.c_str());
        });
    made.push_back(path);
    return path;
}

inline void writeWhole(const char* path, const uint8_t* data, size_t size) {
    FILE* f = fopen(path, "wb");
    if (!f) fail("cannot write a scratch file");
    if (size && fwrite(data, 1, size, f) != size) fail("cannot write a scratch file");
    fclose(f);
}

inline std::vector<uint8_t> readWhole(const char* path) {
    std::vector<uint8_t> bytes;
    FILE* f = fopen(path, "rb");
    if (!f) return bytes;
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    fclose(f);
    return bytes;
}

// extent usable bytes followed by guard bytes, in one heap block of exactly
// that size: AddressSanitizer catches a write past the block, and intact()
// catches a write into the guard in builds without it.
class GuardedBuffer {
public:
    static constexpr size_t GuardSize = 32;
    static constexpr uint8_t GuardByte = 0xA5;

    explicit GuardedBuffer(size_t extent) : extent_(extent), block_(new uint8_t[extent + GuardSize]) {
        memset(block_, 0xEE, extent);
        memset(block_ + extent, GuardByte, GuardSize);
    }
    ~GuardedBuffer() { delete[] block_; }
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;

    uint8_t* data() { return block_; }
    size_t extent() const { return extent_; }
    bool intact() const {
        for (size_t i = 0; i < GuardSize; i++)
            if (block_[extent_ + i] != GuardByte) return false;
        return true;
    }

private:
    size_t extent_;
    uint8_t* block_;
};

// A NUL-terminated copy of bytes [from, to) of the input, cut at its first
// NUL, in a heap block of exactly its length plus one.
inline std::vector<char> textOf(const uint8_t* from, const uint8_t* to) {
    std::vector<char> text;
    for (const uint8_t* p = from; p < to && *p; p++) text.push_back((char)*p);
    text.push_back(0);
    text.shrink_to_fit();
    return text;
}

}  // namespace fuzz
