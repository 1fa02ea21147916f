// The LZHUF stream: exact bytes of known inputs, and round trips around the
// sizes where the coder changes behaviour.
#include <gtest/gtest.h>

#include "codec_helpers.h"
#include "lzhuf.h"

namespace {

Bytes repeat(const char* s, size_t times) {
    Bytes v;
    for (size_t t = 0; t < times; t++)
        for (const char* p = s; *p; p++) v.push_back((uint8_t)*p);
    return v;
}

TEST(LzhufStream, KnownInputsGiveExactBytes) {
    struct Case {
        const char* what;
        Bytes in;
        Bytes stream;
    };
    const Case cases[] = {
        {"empty", {}, {0x00, 0x00, 0x00, 0x00}},
        {"three literals", repeat("abc", 1), {0x03, 0x00, 0x00, 0x00, 0xF6, 0xFB, 0xBD, 0xE0}},
        {"literals then a match of 6 at position code 2", repeat("abc", 3),
         {0x09, 0x00, 0x00, 0x00, 0xF6, 0xFB, 0xBD, 0xF1, 0xE0, 0x20}},
        {"a literal then matches of 60 and 39", repeat("a", 100),
         {0x64, 0x00, 0x00, 0x00, 0xF6, 0xFB, 0x40, 0x16, 0x00, 0x00}},
        {"a match against the pre-filled spaces", repeat(" ", 10),
         {0x0A, 0x00, 0x00, 0x00, 0x93, 0x00, 0x00}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        clearCodecRing();
        RunResult r = compressMemory(c.in, false);
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(hex(r.out), hex(c.stream));
        RunResult back = expandMemory(c.stream, (uint32_t)c.in.size(), false);
        EXPECT_TRUE(back.ok);
        EXPECT_EQ(back.out, c.in);
    }
}

// Every kind of data at the sizes around the look-ahead, the ring, the block
// of codes and the first Huffman rebuild (symbol 32455), framed and bare.
TEST(LzhufStream, RoundTripsAroundBoundaries) {
    const size_t sizes[] = {0, 1, 2, 3, 59, 60, 61, 119, 120, 121, 4035, 4036, 4095, 4096, 4097,
                            8192, 9000, 10233, 10234, 10235, 32454, 32455, 32456, 40000};
    struct Kind {
        const char* name;
        Bytes (*make)(size_t);
    };
    const Kind kinds[] = {
        {"random", [](size_t n) { return randomBytes(n, 3); }},
        {"text", [](size_t n) { return textBytes(n, 5); }},
        {"one byte", [](size_t n) { return Bytes(n, 0x41); }},
        {"spaces", [](size_t n) { return Bytes(n, 0x20); }},
        {"sawtooth", [](size_t n) {
             Bytes v(n);
             for (size_t i = 0; i < n; i++) v[i] = (uint8_t)(i % 251 + i / 7919);
             return v;
         }},
    };
    for (const Kind& k : kinds) {
        for (size_t n : sizes) {
            for (bool framed : {true, false}) {
                SCOPED_TRACE(testing::Message() << k.name << " n=" << n << " framed=" << framed);
                Bytes in = k.make(n);
                RunResult c = compressMemory(in, framed);
                ASSERT_TRUE(c.ok);
                ASSERT_EQ(declaredSize(c.out, framed), n);
                RunResult e = expandMemory(c.out, (uint32_t)n, framed);
                ASSERT_TRUE(e.ok) << streamFaultText(e.fault.kind);
                ASSERT_TRUE(e.out == in);
            }
        }
    }
}

// A few MB of mixed data: long runs, text, random stretches and repeats of
// earlier stretches.
Bytes mixedBytes(size_t n) {
    Bytes in;
    uint32_t x = 99;
    while (in.size() < n) {
        x = x * 1103515245u + 12345u;
        size_t len = 1 + (x >> 8) % 5000;
        switch ((x >> 24) % 4) {
            case 0: in.insert(in.end(), len, (uint8_t)(x >> 3)); break;
            case 1: { Bytes t = textBytes(len, x); in.insert(in.end(), t.begin(), t.end()); break; }
            case 2: { Bytes r = randomBytes(len, x); in.insert(in.end(), r.begin(), r.end()); break; }
            default:
                if (in.size() > 5000) {
                    size_t from = in.size() - 1 - (x >> 4) % 4000;
                    for (size_t i = 0; i < len; i++) in.push_back(in[from + i]);
                }
        }
    }
    return in;
}

uint64_t fnv1a(const Bytes& v) {
    uint64_t h = 0xCBF29CE484222325ull;
    for (uint8_t b : v) h = (h ^ b) * 0x100000001B3ull;
    return h;
}

// Through several Huffman rebuilds; the compressed bytes are pinned by their
// digest, so a faster match search or tree update that changed a single
// choice fails here, in the portable build as in the optimised one.
TEST(LzhufStream, RoundTripsMegabytesOfMixedData) {
    const Bytes in = mixedBytes(3 * 1024 * 1024);
    clearCodecRing();
    RunResult c = compressMemory(in, false);
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.out.size(), 1025088u);
    EXPECT_EQ(fnv1a(c.out), 3282045438957347673ull);
    RunResult e = expandMemory(c.out, (uint32_t)in.size(), false);
    ASSERT_TRUE(e.ok) << streamFaultText(e.fault.kind);
    EXPECT_TRUE(e.out == in);
}

// The same input compresses to the same bytes run after run once the ring
// tail is the same, and a second run does not disturb the expander.
TEST(LzhufStream, CompressionIsRepeatable) {
    Bytes in = textBytes(30000, 11);
    clearCodecRing();
    RunResult a = compressMemory(in);
    clearCodecRing();
    RunResult b = compressMemory(in);
    EXPECT_EQ(a.out, b.out);
    RunResult e = expandMemory(a.out, (uint32_t)in.size());
    EXPECT_TRUE(e.ok);
    EXPECT_TRUE(e.out == in);
}

}  // namespace
