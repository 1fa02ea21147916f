// The pump and progress callbacks, the key byte, and the per-run settings that
// every run resets.
#include <gtest/gtest.h>

#include "codec_helpers.h"

namespace {

int Pumps;
std::vector<uint32_t> Written;

void countPump() { Pumps++; }
void recordWritten(uint32_t n) { Written.push_back(n); }

struct Callbacks : testing::Test {
    void SetUp() override {
        Pumps = 0;
        Written.clear();
        PumpCallback = countPump;
        BytesWrittenHook = recordWritten;
    }
    void TearDown() override {
        PumpCallback = nullptr;
        BytesWrittenHook = nullptr;
    }
};

size_t blocksIn(size_t bytes) { return (bytes + 10239) / 10240; }

// The pump runs after each block read, checked or sealed, and in between every
// 1024 bytes moved, input and output counted together; the progress hook gets
// each block written.
TEST_F(Callbacks, CountedAsTheBytesMove) {
    for (size_t n : {0u, 3u, 1000u, 10240u, 50000u, 300000u}) {
        for (bool text : {false, true}) {
            SCOPED_TRACE(testing::Message() << "n=" << n << " text=" << text);
            Bytes in = text ? textBytes(n) : randomBytes(n);
            SetUp();
            RunResult c = compressMemory(in);
            ASSERT_TRUE(c.ok);
            // Reads of at most 10240 bytes, and the blocks written.
            size_t reads = blocksIn(n), sealed = Written.size();
            size_t moved = n + c.out.size(), forced = reads + sealed;
            EXPECT_GE((size_t)Pumps, forced);
            EXPECT_GE((size_t)Pumps + 1, moved / 1024);
            EXPECT_LE((size_t)Pumps, forced + moved / 1024);
            EXPECT_EQ(sealed, 2 + (c.out.size() - 16) / 10240);
            uint32_t sum = 0;
            for (uint32_t w : Written) sum += w;
            EXPECT_EQ(sum, c.out.size());

            SetUp();
            RunResult e = expandMemory(c.out, (uint32_t)n);
            ASSERT_TRUE(e.ok);
            // One read per block of the chunk; an empty one stops after its size.
            reads = n == 0 ? 1 : sealed;
            size_t flushes = Written.size();
            forced = reads + flushes;
            moved = n + c.out.size();
            EXPECT_EQ(flushes, n / 10240 + 1);
            EXPECT_GE((size_t)Pumps, forced);
            EXPECT_GE((size_t)Pumps + 1, moved / 1024);
            EXPECT_LE((size_t)Pumps, forced + moved / 1024);
            sum = 0;
            for (uint32_t w : Written) sum += w;
            EXPECT_EQ(sum, n);
        }
    }
}

TEST_F(Callbacks, ShortRunsStillPump) {
    RunResult c = compressMemory({0x61, 0x62, 0x63});
    EXPECT_EQ(Pumps, 3);  // one read, two blocks sealed
    EXPECT_EQ(Written, (std::vector<uint32_t>{10, 10}));
    SetUp();
    RunResult e = expandMemory(c.out, 3);
    EXPECT_EQ(Pumps, 3);  // two blocks read, one output block sealed
    EXPECT_EQ(Written, (std::vector<uint32_t>{3}));
}

// The key byte is taken off every raw byte before compressing; settings hold
// for one run only.
TEST(StreamSettings, KeyAndEndsLastOneRun) {
    Bytes plain = textBytes(5000);
    Bytes scrambled = plain;
    for (auto& b : scrambled) b ^= 0xA7;
    RunResult a = compressMemory(plain);
    RunResult b = compressMemory(scrambled, true, 0xA7);
    EXPECT_TRUE(b.ok);
    EXPECT_EQ(a.out, b.out);
    EXPECT_EQ(XorKey, 0);

    // Without new settings the next run reads from its file handle: an
    // invalid handle gives an empty read and a failed expansion.
    EXPECT_FALSE(expandChunk(INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE));
    EXPECT_EQ(lastStreamFault().kind, FaultShortBlock);
    EXPECT_EQ(BytesWritten, 0u);
}

}  // namespace
