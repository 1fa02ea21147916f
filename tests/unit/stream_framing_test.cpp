// RcBlock framing: exact bytes, the block layout, the end of the stream when
// the source ends with the chunk, and damaged or truncated chunks.
#include <gtest/gtest.h>
#include <unistd.h>

#include "codec_helpers.h"
#include "rcblock.h"

namespace {

struct Block {
    size_t offset;
    size_t length;
};

// Splits a framed chunk into its blocks, checking every header.
std::vector<Block> blocksOf(const Bytes& chunk) {
    std::vector<Block> blocks;
    size_t at = 0;
    while (at < chunk.size()) {
        EXPECT_GE(chunk.size() - at, RcHeaderSize);
        if (chunk.size() - at < RcHeaderSize) break;
        EXPECT_EQ(chunk[at], 0x52);
        EXPECT_EQ(chunk[at + 1], 0x43);
        size_t length = chunk[at + 4] | chunk[at + 5] << 8;
        EXPECT_GE(length, RcHeaderSize);
        EXPECT_LE(at + length, chunk.size());
        if (length < RcHeaderSize || at + length > chunk.size()) break;
        uint16_t sum = blockChecksum(&chunk[at + 6], (uint32_t)length - 6);
        EXPECT_EQ(chunk[at + 2] | chunk[at + 3] << 8, sum);
        blocks.push_back({at, length});
        at += length;
    }
    return blocks;
}

// Random data whose bare codes (after the 4 size bytes) take exactly want bytes.
Bytes inputWithCodeBytes(size_t want) {
    for (uint32_t seed = 1; seed < 50; seed++) {
        size_t lo = 1, hi = want * 2;
        while (lo < hi) {  // smallest n whose codes take >= want bytes
            size_t mid = (lo + hi) / 2;
            if (compressMemory(randomBytes(mid, seed), false).out.size() - 4 < want) {
                lo = mid + 1;
            } else {
                hi = mid;
            }
        }
        Bytes in = randomBytes(lo, seed);
        if (compressMemory(in, false).out.size() - 4 == want) return in;
    }
    ADD_FAILURE() << "no input found for " << want << " code bytes";
    return {};
}

// A file holding exactly the given bytes, removed afterwards.
struct ChunkFile {
    std::string path;
    explicit ChunkFile(const Bytes& bytes) {
        char name[] = "/tmp/ss_stream_XXXXXX";
        int fd = mkstemp(name);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(write(fd, bytes.data(), bytes.size()), (ssize_t)bytes.size());
        close(fd);
        path = name;
    }
    ~ChunkFile() { unlink(path.c_str()); }
};

// Expands from a file that ends where the given bytes end.
RunResult expandFromFile(const Bytes& chunk, uint32_t room) {
    ChunkFile f(chunk);
    HANDLE h = CreateFileA(f.path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    Bytes out(room + 16, 0xEE);
    setStreamEnds(true, 0, out.data(), room);
    bool ok = expandChunk(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    for (size_t i = room; i < out.size(); i++) EXPECT_EQ(out[i], 0xEE) << "past the target at " << i;
    out.resize(BytesWritten);
    return {ok, out, lastStreamFault()};
}

TEST(StreamFraming, KnownInputsGiveExactBlocks) {
    RunResult empty = compressMemory({});
    EXPECT_TRUE(empty.ok);
    EXPECT_EQ(hex(empty.out), "52 43 A5 68 0A 00 00 00 00 00 52 43 A5 68 06 00");
    RunResult back = expandMemory(empty.out, 0);
    EXPECT_TRUE(back.ok);
    EXPECT_TRUE(back.out.empty());

    RunResult abc = compressMemory({0x61, 0x62, 0x63});
    EXPECT_TRUE(abc.ok);
    EXPECT_EQ(BytesWritten, 20u);
    EXPECT_EQ(hex(abc.out), "52 43 A8 68 0A 00 03 00 00 00 52 43 33 6C 0A 00 F6 FB BD E0");
}

// A size block of 10 bytes, full blocks while the codes fill them, and a
// final block shorter than a full one, which is empty when the codes end
// exactly at a block boundary.
TEST(StreamFraming, BlockLayout) {
    const size_t payload = RcBlockMaxSize - RcHeaderSize;
    for (size_t codes : {payload - 1, payload, payload + 1, 2 * payload}) {
        SCOPED_TRACE(testing::Message() << "code bytes " << codes);
        Bytes in = inputWithCodeBytes(codes);
        RunResult c = compressMemory(in);
        ASSERT_TRUE(c.ok);
        std::vector<Block> blocks = blocksOf(c.out);
        ASSERT_GE(blocks.size(), 2u);
        EXPECT_EQ(blocks[0].length, RcFirstBlockSize);
        for (size_t i = 1; i + 1 < blocks.size(); i++) EXPECT_EQ(blocks[i].length, RcBlockMaxSize);
        EXPECT_EQ(blocks.back().length, RcHeaderSize + codes % payload);
        EXPECT_EQ(blocks.size(), 2 + codes / payload);
        EXPECT_EQ(c.out.size(), RcFirstBlockSize + codes + (blocks.size() - 1) * RcHeaderSize);

        // From a file that ends with the chunk, and from memory.
        RunResult f = expandFromFile(c.out, (uint32_t)in.size());
        EXPECT_TRUE(f.ok) << streamFaultText(f.fault.kind);
        EXPECT_TRUE(f.out == in);
        RunResult m = expandMemory(c.out, (uint32_t)in.size());
        EXPECT_TRUE(m.ok) << streamFaultText(m.fault.kind);
        EXPECT_TRUE(m.out == in);
    }
}

// The source ends exactly with the chunk, or the chunk is followed by other
// bytes: the look-ahead past the last code never fails the expansion.
TEST(StreamFraming, EndOfStreamWhenTheSourceEndsWithTheChunk) {
    const size_t payload = RcBlockMaxSize - RcHeaderSize;
    struct Case {
        const char* what;
        Bytes in;
    };
    const Case cases[] = {
        {"a 1-byte input", {0x7E}},
        {"a 3-byte input", {0x61, 0x62, 0x63}},
        {"a short final block", randomBytes(25000, 4)},
        {"an empty final block", inputWithCodeBytes(payload)},
        {"one code byte in the final block", inputWithCodeBytes(payload + 1)},
        {"a long run", Bytes(100000, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RunResult z = compressMemory(c.in);
        ASSERT_TRUE(z.ok);
        RunResult exact = expandFromFile(z.out, (uint32_t)c.in.size());
        EXPECT_TRUE(exact.ok) << streamFaultText(exact.fault.kind);
        EXPECT_TRUE(exact.out == c.in);

        Bytes followed = z.out;
        Bytes other = compressMemory(randomBytes(300, 9)).out;
        followed.insert(followed.end(), other.begin(), other.end());
        RunResult more = expandFromFile(followed, (uint32_t)c.in.size());
        EXPECT_TRUE(more.ok) << streamFaultText(more.fault.kind);
        EXPECT_TRUE(more.out == c.in);
    }
    // Codes that end at a block boundary expand even without the empty final
    // block behind them.
    Bytes in = inputWithCodeBytes(payload);
    Bytes chunk = compressMemory(in).out;
    chunk.resize(chunk.size() - RcHeaderSize);
    RunResult cut = expandFromFile(chunk, (uint32_t)in.size());
    EXPECT_TRUE(cut.ok) << streamFaultText(cut.fault.kind);
    EXPECT_TRUE(cut.out == in);
}

// Damaged and truncated chunks: the expansion fails, says which block, and
// delivers the bytes decoded before it, never more than the input had.
TEST(StreamFraming, DamagedChunksFail) {
    const Bytes in = randomBytes(35000, 21);
    const Bytes good = compressMemory(in).out;
    std::vector<Block> blocks = blocksOf(good);
    ASSERT_EQ(blocks.size(), 5u);  // size block, 3 full blocks, final block
    const size_t second = blocks[2].offset, last = blocks[4].offset;

    struct Case {
        const char* what;
        void (*damage)(Bytes& chunk, size_t block);
        size_t block;  // offset of the block damaged
        StreamFaultKind fault;
        size_t minOut;  // bytes that must still arrive
    };
    auto flip = [](Bytes& c, size_t at) { c[at] ^= 0x01; };
    (void)flip;
    const Case cases[] = {
        {"magic of the size block", [](Bytes& c, size_t b) { c[b] = 'X'; }, 0, FaultBadMagic, 0},
        {"checksum of the size block", [](Bytes& c, size_t b) { c[b + 2]++; }, 0,
         FaultBadChecksum, 0},
        {"size block length 5", [](Bytes& c, size_t b) { c[b + 4] = 5; }, 0, FaultBadLength, 0},
        {"size block length past the read", [](Bytes& c, size_t b) { c[b + 4] = 11; }, 0,
         FaultBadLength, 0},
        {"magic of the second code block", [](Bytes& c, size_t b) { c[b + 1] = 0; }, second,
         FaultBadMagic, 9000},
        {"checksum of the second code block", [](Bytes& c, size_t b) { c[b + 3] ^= 0x10; },
         second, FaultBadChecksum, 9000},
        {"a payload byte of the second code block", [](Bytes& c, size_t b) { c[b + 100]++; },
         second, FaultBadChecksum, 9000},
        {"length of the second code block too large", [](Bytes& c, size_t b) { c[b + 5] = 0x29; },
         second, FaultBadLength, 9000},
        {"length of the second code block below 6", [](Bytes& c, size_t b) { c[b + 4] = 3, c[b + 5] = 0; },
         second, FaultBadLength, 9000},
        {"length of the final block too large", [](Bytes& c, size_t b) { c[b + 4]++; }, last,
         FaultBadLength, 27000},
        {"checksum of the final block", [](Bytes& c, size_t b) { c[b + 2]--; }, last,
         FaultBadChecksum, 27000},
        {"final block cut short", [](Bytes& c, size_t) { c.pop_back(); }, last, FaultBadLength,
         27000},
        {"final block cut to 3 bytes", [](Bytes& c, size_t b) { c.resize(b + 3); }, last,
         FaultShortBlock, 27000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes chunk = good;
        c.damage(chunk, c.block);
        for (bool fromFile : {false, true}) {
            RunResult r = fromFile ? expandFromFile(chunk, (uint32_t)in.size())
                                   : expandMemory(chunk, (uint32_t)in.size());
            EXPECT_FALSE(r.ok);
            EXPECT_EQ(r.fault.kind, c.fault) << streamFaultText(r.fault.kind);
            EXPECT_EQ(r.fault.offset, c.block);
            EXPECT_GE(r.out.size(), c.minOut);
            EXPECT_LT(r.out.size(), in.size());
            EXPECT_TRUE(std::equal(r.out.begin(), r.out.end(), in.begin()));
        }
    }
}

// Inputs that are not a whole chunk, as one table of bytes -> fault.
TEST(StreamFraming, MalformedChunks) {
    const Bytes three = compressMemory({0x61, 0x62, 0x63}).out;  // 10 + 10 bytes
    Bytes sizeOnly(three.begin(), three.begin() + 10);
    Bytes tooBig = compressMemory(randomBytes(500, 2)).out;  // declares 501 bytes
    tooBig[6] = 0xF5;
    tooBig[2] = (uint8_t)(tooBig[2] + 1);  // keeps the size block's checksum right
    Bytes midEmpty = compressMemory(randomBytes(30000, 8)).out;
    Bytes emptyBlock = {0x52, 0x43, 0xA5, 0x68, 0x06, 0x00};
    midEmpty.insert(midEmpty.begin() + 10 + 10240, emptyBlock.begin(), emptyBlock.end());
    struct Case {
        const char* what;
        Bytes chunk;
        StreamFaultKind fault;
    };
    const Case cases[] = {
        {"no bytes", {}, FaultShortBlock},
        {"five bytes", {0x52, 0x43, 0xA5, 0x68, 0x06}, FaultShortBlock},
        {"size block alone", sizeOnly, FaultCodesEnd},
        {"a size larger than the codes", tooBig, FaultCodesEnd},
        {"an empty block amid the codes", midEmpty, FaultCodesEnd},
        {"bare codes given as framed", compressMemory(randomBytes(50, 1), false).out,
         FaultBadMagic},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RunResult r = expandMemory(c.chunk, 1 << 20);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.fault.kind, c.fault) << streamFaultText(r.fault.kind);
    }
}

}  // namespace
