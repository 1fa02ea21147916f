// Memory ends are bounded: no read or write passes the extent given, and runs
// that would need more fail cleanly.
#include <gtest/gtest.h>

#include "codec_helpers.h"
#include "lzhuf.h"

namespace {

TEST(StreamBounds, ExpansionIntoMemoryTargets) {
    const Bytes in = textBytes(25000, 3);
    const Bytes chunk = compressMemory(in).out;
    struct Case {
        const char* what;
        uint32_t room;
        bool ok;
    };
    const Case cases[] = {
        {"exact room", 25000, true},
        {"room to spare", 30000, true},
        {"one byte short", 24999, false},
        {"no room", 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RunResult r = expandMemory(chunk, c.room);  // checks the guard bytes
        EXPECT_EQ(r.ok, c.ok);
        if (c.ok) {
            EXPECT_TRUE(r.out == in);
        } else {
            EXPECT_EQ(r.fault.kind, FaultTargetFull);
            EXPECT_TRUE(r.out.empty()) << "a target too small is refused before writing";
        }
    }
}

// A stream whose last match runs past its declared size writes nothing past
// that size: the match is cut.
TEST(StreamBounds, MatchPastTheExpandedSizeIsCut) {
    Bytes stream = compressMemory(Bytes(100, 'a'), false).out;  // 'a', match 60, match 39
    for (uint32_t size : {1u, 2u, 30u, 61u, 62u, 99u}) {
        SCOPED_TRACE(testing::Message() << "declared size " << size);
        Bytes s = stream;
        s[0] = (uint8_t)size;
        RunResult r = expandMemory(s, size, false);
        EXPECT_TRUE(r.ok) << streamFaultText(r.fault.kind);
        EXPECT_EQ(r.out, Bytes(size, 'a'));
    }
}

TEST(StreamBounds, MemorySourcesAreReadWithinTheirExtent) {
    const Bytes in = randomBytes(30000, 5);
    const Bytes chunk = compressMemory(in).out;
    // Each source is a vector of exactly the extent, so a read past it is a
    // heap overflow for the sanitizer build.
    for (size_t cut : {chunk.size() - 1, chunk.size() - 20, (size_t)10 + 10240 + 3, (size_t)9}) {
        SCOPED_TRACE(testing::Message() << "source of " << cut << " bytes");
        Bytes part(chunk.begin(), chunk.begin() + cut);
        RunResult r = expandMemory(part, (uint32_t)in.size());
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(std::equal(r.out.begin(), r.out.end(), in.begin()));
    }
    // A compression takes size bytes and no more, and fails on a source that
    // holds fewer.
    Bytes exact(in.begin(), in.begin() + 12345);
    RunResult whole = compressMemory(exact);
    EXPECT_TRUE(whole.ok);
    Bytes out(100000);
    setStreamEnds(false, 12000, out.data(), (uint32_t)out.size());
    EXPECT_FALSE(compressChunk(exact.data(), INVALID_HANDLE_VALUE, 12345));
    EXPECT_EQ(lastStreamFault().kind, FaultSourceShort);
}

TEST(StreamBounds, CompressionIntoMemoryTargets) {
    const Bytes in = randomBytes(20000, 6);
    const size_t need = compressMemory(in).out.size();
    for (size_t room : {need, need - 1, (size_t)10240, (size_t)5, (size_t)0}) {
        SCOPED_TRACE(testing::Message() << "room " << room);
        Bytes out(room + 16, 0xEE);
        setStreamEnds(false, (uint32_t)in.size(), out.data(), (uint32_t)room);
        bool ok = compressChunk(in.data(), INVALID_HANDLE_VALUE, (int32_t)in.size());
        EXPECT_EQ(ok, room == need);
        EXPECT_EQ(BytesWritten, room);
        if (!ok) EXPECT_EQ(lastStreamFault().kind, FaultTargetFull);
        for (size_t i = room; i < out.size(); i++) ASSERT_EQ(out[i], 0xEE) << "past the target";
    }
}

TEST(StreamBounds, FailedWritesFailTheRun) {
    const Bytes in = randomBytes(5000, 8);
    setStreamEnds(false, (uint32_t)in.size(), nullptr, 0);
    EXPECT_FALSE(compressChunk(in.data(), INVALID_HANDLE_VALUE, (int32_t)in.size()));
    EXPECT_EQ(lastStreamFault().kind, FaultWriteFailed);
    EXPECT_EQ(BytesWritten, 0u);

    const Bytes chunk = compressMemory(in).out;
    setStreamEnds(false, (uint32_t)chunk.size(), nullptr, 0);
    EXPECT_FALSE(expandChunk(chunk.data(), INVALID_HANDLE_VALUE));
    EXPECT_EQ(lastStreamFault().kind, FaultWriteFailed);
    EXPECT_EQ(BytesWritten, 0u);

    setStreamEnds(false, 10, nullptr, 0);
    EXPECT_FALSE(compressChunk(in.data(), INVALID_HANDLE_VALUE, -1));
}

}  // namespace
