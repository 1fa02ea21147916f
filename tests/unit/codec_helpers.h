// Helpers of the codec, stream and transfer tests: memory-to-memory runs of the
// stream layer and deterministic sample data.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "stream.h"

using Bytes = std::vector<uint8_t>;

struct RunResult {
    bool ok;
    Bytes out;  // the bytes written (BytesWritten of them)
    StreamFault fault;
};

// Compresses from memory to memory; framed RcBlocks or the bare stream.
inline RunResult compressMemory(const Bytes& in, bool framed = true, uint8_t key = 0) {
    Bytes out(in.size() * 3 + 64);
    setStreamEnds(false, (uint32_t)in.size(), out.data(), (uint32_t)out.size());
    setStreamFraming(framed);
    XorKey = key;
    bool ok = compressChunk(in.data(), INVALID_HANDLE_VALUE, (int32_t)in.size());
    out.resize(BytesWritten);
    return {ok, out, lastStreamFault()};
}

// Expands from memory into a memory target of the given room.
inline RunResult expandMemory(const Bytes& in, uint32_t room, bool framed = true) {
    Bytes out(room + 16, 0xEE);
    setStreamEnds(false, (uint32_t)in.size(), out.data(), room);
    setStreamFraming(framed);
    bool ok = expandChunk(in.data(), INVALID_HANDLE_VALUE);
    for (size_t i = room; i < out.size(); i++)
        if (out[i] != 0xEE) ADD_FAILURE() << "written past the target at " << i;
    out.resize(BytesWritten);
    return {ok, out, lastStreamFault()};
}

// The expanded size that a stream declares (framed or bare).
inline uint32_t declaredSize(const Bytes& stream, bool framed = true) {
    size_t at = framed ? 6 : 0;
    if (stream.size() < at + 4) return 0;
    return stream[at] | stream[at + 1] << 8 | stream[at + 2] << 16 | (uint32_t)stream[at + 3] << 24;
}

// Repeatable pseudo-random bytes.
inline Bytes randomBytes(size_t n, uint32_t seed = 1) {
    Bytes v(n);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& b : v) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = (uint8_t)x;
    }
    return v;
}

// English-like text: words drawn from a small vocabulary.
inline Bytes textBytes(size_t n, uint32_t seed = 7) {
    static const char* words[] = {"the ", "screen ", "saver ", "installer ", "of ", "and ",
                                  "window ", "file ", "chunk ", "a ", "to ", "is ",
                                  "compressed ", "block ", "in ", "data, ", "which ", ".\n"};
    Bytes v;
    uint32_t x = seed;
    while (v.size() < n) {
        x = x * 1103515245u + 12345u;
        for (const char* w = words[(x >> 16) % 18]; *w && v.size() < n; w++) v.push_back((uint8_t)*w);
    }
    return v;
}

inline std::string hex(const Bytes& v) {
    std::string s;
    char buf[4];
    for (size_t i = 0; i < v.size(); i++) {
        snprintf(buf, sizeof buf, i ? " %02X" : "%02X", v[i]);
        s += buf;
    }
    return s;
}
