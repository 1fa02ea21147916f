// transferChunk with Compress and Expand: what it hands the stream layer and
// what length it reports.
#include <gtest/gtest.h>
#include <stdio.h>
#include <unistd.h>

#include "codec_helpers.h"
#include "transfer.h"

namespace {

TEST(TransferCodec, CompressThenExpandThroughEveryEnd) {
    const Bytes plain = textBytes(30000, 4);
    Bytes scrambled = plain;
    for (auto& b : scrambled) b ^= 0x3C;

    // Scrambled memory -> memory, the key taken off before compressing.
    Bytes packed(plain.size() * 2);
    int32_t length = (int32_t)plain.size();
    ASSERT_TRUE(transferChunk(memoryEnd(scrambled.data(), (uint32_t)scrambled.size()),
                              memoryEnd(packed.data(), (uint32_t)packed.size()), length,
                              FlagCompress | FlagMemorySource | FlagMemoryTarget | 0x3C));
    packed.resize((size_t)length);
    EXPECT_EQ(packed, compressMemory(plain).out);

    // Memory -> file, then file -> memory with both codec bits: Expand wins.
    char name[] = "/tmp/ss_transfer_codec_XXXXXX";
    int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    HANDLE out = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    length = 0;  // ignored by an expansion
    ASSERT_TRUE(transferChunk(memoryEnd(packed.data(), (uint32_t)packed.size()), fileEnd(out),
                              length, FlagExpand | FlagMemorySource));
    CloseHandle(out);
    EXPECT_EQ(length, (int32_t)plain.size());

    HANDLE in = CreateFileA(name, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    Bytes again(plain.size() + 8, 0xEE);
    length = (int32_t)plain.size();
    // Expanding plain bytes: not a chunk, so the transfer fails; then the
    // same file copied plainly.
    EXPECT_FALSE(transferChunk(fileEnd(in), memoryEnd(again.data(), (uint32_t)plain.size()),
                               length, FlagExpand | FlagCompress | FlagMemoryTarget));
    EXPECT_EQ(length, 0);
    CloseHandle(in);
    unlink(name);

    Bytes back(plain.size());
    length = 0;
    EXPECT_TRUE(transferChunk(memoryEnd(packed.data(), (uint32_t)packed.size()),
                              memoryEnd(back.data(), (uint32_t)back.size()), length,
                              FlagExpand | FlagCompress | FlagMemorySource | FlagMemoryTarget |
                                  0x3C));
    EXPECT_EQ(back, plain) << "no key byte is applied to an expansion";
}

// Failures report the bytes that reached the target.
TEST(TransferCodec, FailuresReportWhatArrived) {
    const Bytes plain = randomBytes(40000, 12);
    Bytes packed = compressMemory(plain).out;
    packed[10 + 10240 + 10240 + 2] ^= 1;  // checksum of the third block

    Bytes target(plain.size() + 16, 0xEE);
    int32_t length = 0;
    EXPECT_FALSE(transferChunk(memoryEnd(packed.data(), (uint32_t)packed.size()),
                               memoryEnd(target.data(), (uint32_t)plain.size()), length,
                               FlagExpand | FlagMemorySource | FlagMemoryTarget));
    EXPECT_GT(length, 10000);
    EXPECT_LT(length, (int32_t)plain.size());
    EXPECT_TRUE(std::equal(target.begin(), target.begin() + length, plain.begin()));

    // A memory target too small for the expanded size takes nothing.
    const Bytes good = compressMemory(plain).out;
    length = 0;
    EXPECT_FALSE(transferChunk(memoryEnd((void*)good.data(), (uint32_t)good.size()),
                               memoryEnd(target.data(), (uint32_t)plain.size() - 1), length,
                               FlagExpand | FlagMemorySource | FlagMemoryTarget));
    EXPECT_EQ(length, 0);
    for (size_t i = 0; i < target.size(); i++)
        if (i >= (size_t)plain.size() - 1) ASSERT_EQ(target[i], 0xEE);

    // A memory target without an address holds nothing.
    length = 0;
    EXPECT_FALSE(transferChunk(memoryEnd((void*)good.data(), (uint32_t)good.size()),
                               memoryEnd(nullptr, 0), length,
                               FlagExpand | FlagMemorySource | FlagMemoryTarget));

    // A compression of a negative length, or from a source shorter than it.
    length = -5;
    EXPECT_FALSE(transferChunk(memoryEnd((void*)plain.data(), 100), memoryEnd(target.data(), 1000),
                               length, FlagCompress | FlagMemorySource | FlagMemoryTarget));
    EXPECT_EQ(length, 0);
    length = 101;
    EXPECT_FALSE(transferChunk(memoryEnd((void*)plain.data(), 100), memoryEnd(target.data(), 1000),
                               length, FlagCompress | FlagMemorySource | FlagMemoryTarget));
}

}  // namespace
