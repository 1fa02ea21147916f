// The plain block copy of transferChunk: files and memory, key byte, short
// sources and targets, refused lengths.
#include <gtest/gtest.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "transfer.h"

namespace {

std::vector<uint8_t> pattern(size_t n) {
    std::vector<uint8_t> v(n);
    uint32_t x = 12345;
    for (auto& b : v) {
        x = x * 1103515245u + 12345u;
        b = (uint8_t)(x >> 16);
    }
    return v;
}

// A temporary file that goes away with the fixture.
struct TempFile {
    std::string path;
    explicit TempFile(const std::vector<uint8_t>& bytes = {}) {
        char name[] = "/tmp/ss_transfer_XXXXXX";
        int fd = mkstemp(name);
        if (fd >= 0) {
            if (!bytes.empty()) EXPECT_EQ(write(fd, bytes.data(), bytes.size()), (ssize_t)bytes.size());
            close(fd);
        }
        path = name;
    }
    ~TempFile() { unlink(path.c_str()); }
    HANDLE open(bool forWrite) const {
        return CreateFileA(path.c_str(), forWrite ? GENERIC_WRITE : GENERIC_READ, 0, nullptr,
                           forWrite ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    }
    std::vector<uint8_t> contents() const {
        std::vector<uint8_t> v;
        FILE* f = fopen(path.c_str(), "rb");
        if (!f) return v;
        int c;
        while ((c = fgetc(f)) != EOF) v.push_back((uint8_t)c);
        fclose(f);
        return v;
    }
};

std::vector<uint8_t> xored(std::vector<uint8_t> v, uint8_t key) {
    for (auto& b : v) b ^= key;
    return v;
}

// File to file, for the lengths around the block size, with and without key.
TEST(TransferCopy, FileToFileAroundTheBlockSize) {
    for (size_t n : {0u, 1u, 16383u, 16384u, 16385u, 40000u}) {
        for (uint8_t key : {0x00, 0x5A}) {
            SCOPED_TRACE(testing::Message() << "n=" << n << " key=" << int(key));
            auto data = pattern(n);
            TempFile in(data), out;
            HANDLE src = in.open(false), dst = out.open(true);
            int32_t length = (int32_t)n;
            EXPECT_TRUE(transferChunk(fileEnd(src), fileEnd(dst), length, key));
            EXPECT_EQ(length, (int32_t)n);
            CloseHandle(src);
            CloseHandle(dst);
            EXPECT_EQ(out.contents(), xored(data, key));
        }
    }
}

TEST(TransferCopy, MemoryToMemoryMatchesFileCopyAndXorTwiceRestores) {
    auto data = pattern(16385);
    std::vector<uint8_t> once(16385 + 8, 0xEE), twice(16385, 0);
    int32_t length = 16385;
    ASSERT_TRUE(transferChunk(memoryEnd(data.data(), 16385), memoryEnd(once.data(), 16385),
                              length, 0x33 | FlagMemorySource | FlagMemoryTarget));
    EXPECT_EQ(length, 16385);
    for (int i = 0; i < 8; i++) EXPECT_EQ(once[16385 + i], 0xEE) << "guard byte " << i;
    once.resize(16385);
    EXPECT_EQ(once, xored(data, 0x33));
    length = 16385;
    ASSERT_TRUE(transferChunk(memoryEnd(once.data(), 16385), memoryEnd(twice.data(), 16385),
                              length, 0x33 | FlagMemorySource | FlagMemoryTarget));
    EXPECT_EQ(twice, data);
}

TEST(TransferCopy, MixedEnds) {
    auto data = pattern(20000);
    TempFile in(data);
    std::vector<uint8_t> mem(20000);
    HANDLE src = in.open(false);
    int32_t length = 20000;
    ASSERT_TRUE(transferChunk(fileEnd(src), memoryEnd(mem.data(), 20000), length,
                              FlagMemoryTarget));
    CloseHandle(src);
    EXPECT_EQ(mem, data);

    TempFile out;
    HANDLE dst = out.open(true);
    length = 20000;
    ASSERT_TRUE(transferChunk(memoryEnd(data.data(), 20000), fileEnd(dst), length,
                              FlagMemorySource));
    CloseHandle(dst);
    EXPECT_EQ(out.contents(), data);
}

// Sources that end early and targets that are too small: the whole blocks
// before the shortfall arrive, length counts what reached the target.
TEST(TransferCopy, ShortSourcesAndTargets) {
    auto data = pattern(40000);
    struct Case {
        const char* what;
        bool memorySource;
        uint32_t sourceBytes;
        uint32_t targetExtent;  // memory target
        int32_t length;
        int32_t expectLength;
    };
    const Case cases[] = {
        {"file source ends in the second block", false, 20000, 40000, 40000, 16384},
        {"file source ends in the first block", false, 100, 40000, 40000, 0},
        {"memory source extent ends in the third block", true, 33000, 40000, 40000, 32768},
        {"memory target one byte short", true, 40000, 39999, 40000, 39999},
        {"memory target of one block", true, 40000, 16384, 40000, 16384},
        {"memory target of no bytes", true, 40000, 0, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> target(c.targetExtent + 16, 0xEE);
        int32_t length = c.length;
        bool ok;
        if (c.memorySource) {
            ok = transferChunk(memoryEnd(data.data(), c.sourceBytes),
                               memoryEnd(target.data(), c.targetExtent), length,
                               FlagMemorySource | FlagMemoryTarget);
        } else {
            TempFile in(std::vector<uint8_t>(data.begin(), data.begin() + c.sourceBytes));
            HANDLE src = in.open(false);
            ok = transferChunk(fileEnd(src), memoryEnd(target.data(), c.targetExtent), length,
                               FlagMemoryTarget);
            CloseHandle(src);
        }
        EXPECT_FALSE(ok);
        EXPECT_EQ(length, c.expectLength);
        EXPECT_TRUE(std::equal(target.begin(), target.begin() + c.expectLength, data.begin()));
        for (size_t i = c.targetExtent; i < target.size(); i++)
            ASSERT_EQ(target[i], 0xEE) << "written past the target at " << i;
    }
}

TEST(TransferCopy, NegativeLengthIsRefusedWithoutMovingBytes) {
    auto data = pattern(64);
    std::vector<uint8_t> target(64, 0xEE);
    int32_t length = -1;
    EXPECT_FALSE(transferChunk(memoryEnd(data.data(), 64), memoryEnd(target.data(), 64), length,
                               FlagMemorySource | FlagMemoryTarget));
    EXPECT_EQ(length, 0);
    EXPECT_EQ(target, std::vector<uint8_t>(64, 0xEE));
}

TEST(TransferCopy, FailedWriteCountsOnlyWhatArrived) {
    auto data = pattern(100);
    int32_t length = 100;
    EXPECT_FALSE(transferChunk(memoryEnd(data.data(), 100), fileEnd(INVALID_HANDLE_VALUE), length,
                               FlagMemorySource));
    EXPECT_EQ(length, 0);
}

}  // namespace
