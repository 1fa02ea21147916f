// The container writer: how copy requests fit the source entry, the layout of
// the data, the 32-entry limit, aliases, numbered series and the ErrorLatch.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "reader.h"
#include "support/fixture.h"
#include "writer.h"

namespace {

using fixture::Bytes;
using fixture::Container;
using fixture::Record;

constexpr uint8_t Key = 0x5A;

class ContainerWriter : public ::testing::Test {
protected:
    void SetUp() override {
        fixture::resetContainerState();
        plain = fixture::pattern(30000, 11);
        source.prefix = fixture::pattern(777, 12);
        source.addStored("PLAIN", plain).markerOffset = 5;
        source.addStored("SCRAMBLED", plain, Key).markerOffset = 5;
        source.addCompressed("PACKED", plain).markerOffset = 5;
        source.addStored("SMALL", {1, 2, 3, 4});
        source.writeTo(sourcePath);
        packed = slice(source.bytes(), source.records[2]);
    }
    void TearDown() override { fixture::resetContainerState(); }

    static Bytes slice(const Bytes& file, const Record& r) {
        return Bytes(file.begin() + r.dataOffset, file.begin() + r.dataOffset + r.storedSize);
    }
    void openSource() { ASSERT_NE(openContainer(sourcePath.c_str()), INVALID_HANDLE_VALUE); }
    void create() { ASSERT_NE(createContainer(outPath.c_str()), INVALID_HANDLE_VALUE); }
    // Closes the writer and returns the directory it wrote.
    std::vector<Record> finish(int count) {
        closeContainer(writerHandle());
        return fixture::readDirectory(fixture::readFile(outPath), count);
    }
    // A chunk of the output read back through the reader.
    Bytes readBack(const char* name, size_t size) {
        Bytes b(size + 16, 0xEE);
        if (openContainer(outPath.c_str()) == INVALID_HANDLE_VALUE) return {};
        bool ok = readChunkToMemory(name, b.data(), (int32_t)b.size());
        closeContainer(readerHandle());
        if (!ok) return {};
        b.resize(size);
        return b;
    }

    fixture::TempDir dir;
    std::string sourcePath = dir.file("source.exe");
    std::string outPath = dir.file("out.scr");
    Container source;
    Bytes plain, packed;
};

// Each row: a source entry and a request (key byte 0), the transfer it makes
// and the entry it leaves. Every entry must describe its bytes: read back
// through the reader, each gives the plain data.
TEST_F(ContainerWriter, CopyChunkFitsTheRequestToTheSource) {
    enum Bytes_ { Plain, Scrambled, PackedCopy, Recompressed };
    const TransferFlags E = FlagExpand, C = FlagCompress, U = FlagUnscramble;
    struct Case {
        const char* name;
        TransferFlags request;
        uint8_t storage, xorKey;
        Bytes_ written;
    } cases[] = {
        {"PLAIN", 0, StorageStored, 0, Plain},
        {"PLAIN", E, StorageStored, 0, Plain},
        {"PLAIN", U, StorageStored, 0, Plain},
        {"PLAIN", E | U, StorageStored, 0, Plain},
        {"PLAIN", C, StorageCompressed, 0, Recompressed},
        {"PLAIN", C | E, StorageCompressed, 0, Recompressed},
        {"SCRAMBLED", 0, StorageStored, Key, Scrambled},
        {"SCRAMBLED", E, StorageStored, Key, Scrambled},
        {"SCRAMBLED", U, StorageStored, 0, Plain},
        {"SCRAMBLED", E | U, StorageStored, 0, Plain},
        {"SCRAMBLED", C, StorageCompressed, 0, Recompressed},
        {"SCRAMBLED", C | U, StorageCompressed, 0, Recompressed},
        {"PACKED", 0, StorageCompressed, 0, PackedCopy},
        {"PACKED", C, StorageCompressed, 0, PackedCopy},
        {"PACKED", E, StorageStored, 0, Plain},
        {"PACKED", E | U, StorageStored, 0, Plain},
        {"PACKED", E | C, StorageStored, 0, Plain},
        // Left open by the format: compressed bytes are never scrambled, so
        // the copy keeps them and the entry says Compressed.
        {"PACKED", U, StorageCompressed, 0, PackedCopy},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string(k.name) + " request " + std::to_string(k.request));
        openSource();
        create();
        setErrorLatch(true);
        ASSERT_TRUE(copyChunk(k.name, k.request));
        EXPECT_FALSE(ErrorLatch);
        std::vector<Record> dir = finish(1);
        ASSERT_EQ(dir.size(), 1u);
        const Record& e = dir[0];
        EXPECT_EQ(e.name, k.name);
        EXPECT_EQ(e.storage, k.storage);
        EXPECT_EQ(e.xorKey, k.xorKey);
        EXPECT_EQ(e.dataOffset, 0u);
        EXPECT_EQ(e.plainSize, plain.size());
        EXPECT_EQ(e.markerOffset, 5);
        EXPECT_EQ(e.countOrLength, 1);
        const Bytes file = fixture::readFile(outPath);
        EXPECT_EQ(file.size(), e.storedSize + 40u);
        const Bytes written = slice(file, e);
        switch (k.written) {
            case Plain: EXPECT_EQ(written, plain); break;
            case Scrambled: EXPECT_EQ(written, fixture::xored(plain, Key)); break;
            case PackedCopy: EXPECT_EQ(written, packed); break;
            case Recompressed: EXPECT_NE(written.size(), plain.size()); break;
        }
        EXPECT_EQ(readBack(k.name, plain.size()), plain);
    }
}

// Requests the installer never makes: a key byte in a copy request is refused
// before anything is written.
TEST_F(ContainerWriter, CopyRequestWithAKeyByteIsRefused) {
    for (const char* name : {"PLAIN", "SCRAMBLED", "PACKED"}) {
        for (TransferFlags request : {TransferFlags(0x11), 0x11 | FlagExpand, 0x11 | FlagCompress,
                                      0x11 | FlagUnscramble}) {
            SCOPED_TRACE(std::string(name) + " " + std::to_string(request));
            setErrorLatch(false);
            openSource();
            create();
            setErrorLatch(true);
            EXPECT_FALSE(copyChunk(name, request));
            EXPECT_TRUE(ErrorLatch);
            EXPECT_EQ(Writer.entryCount, 0);
            EXPECT_EQ(Writer.dataOffset, 0u);
            closeContainer(writerHandle());
            EXPECT_TRUE(fixture::readFile(outPath).empty());
        }
    }
}

TEST_F(ContainerWriter, AddChunkFromMemory) {
    const Bytes info = fixture::pattern(6148, 21);
    struct Case {
        const char* what;
        TransferFlags flags;
        Bytes data;
        uint8_t storage, xorKey;
        Bytes readBack;  // the plain bytes the entry stands for
    } cases[] = {
        {"as is", 0, info, StorageStored, 0, info},
        {"scrambled", 0x33, info, StorageStored, 0x33, info},
        {"compressed", FlagCompress, info, StorageCompressed, 0, info},
        // The key is XORed over the source on its way into the compressor;
        // the entry says what was compressed, with no key.
        {"compressed with a key", FlagCompress | 0x33, info, StorageCompressed, 0,
         fixture::xored(info, 0x33)},
        {"expanded", FlagExpand, fixture::compress(info).value(), StorageStored, 0, info},
        {"empty", 0, {}, StorageStored, 0, {}},
        {"bits that make no sense here are ignored", FlagMemoryTarget | FlagUnscramble, info,
         StorageStored, 0, info},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        create();
        setErrorLatch(true);
        ASSERT_TRUE(addChunkFromMemory(k.data.data(), (int32_t)k.data.size(), "INFO", k.flags));
        EXPECT_FALSE(ErrorLatch);
        const uint32_t written = Writer.dataOffset;
        std::vector<Record> dir = finish(1);
        ASSERT_EQ(dir.size(), 1u);
        EXPECT_EQ(dir[0].storage, k.storage);
        EXPECT_EQ(dir[0].xorKey, k.xorKey);
        EXPECT_EQ(dir[0].storedSize, written);
        EXPECT_EQ(dir[0].plainSize, k.readBack.size());
        EXPECT_EQ(dir[0].markerOffset, -1);
        EXPECT_EQ(readBack("INFO", k.readBack.size()), k.readBack);
    }

    create();
    setErrorLatch(true);
    EXPECT_FALSE(addChunkFromMemory(info.data(), -1, "NEG", 0));
    EXPECT_TRUE(ErrorLatch);
    setErrorLatch(true);
    EXPECT_FALSE(addChunkFromMemory(fixture::pattern(100).data(), 100, "BAD", FlagExpand));
    EXPECT_TRUE(ErrorLatch);
    EXPECT_EQ(Writer.entryCount, 0);
    closeContainer(writerHandle());
    setErrorLatch(true);
    EXPECT_FALSE(addChunkFromMemory(info.data(), 10, "CLOSED", 0));
    EXPECT_FALSE(ErrorLatch);
}

TEST_F(ContainerWriter, ChunksFollowEachOtherFromOffsetZero) {
    openSource();
    create();
    EXPECT_TRUE(copyChunk("SMALL", 0));
    EXPECT_TRUE(copyChunk("PACKED", 0));
    EXPECT_TRUE(copyChunk("PLAIN", 0));
    EXPECT_TRUE(addChunkFromMemory("xyz", 3, "MEM", 0));
    std::vector<Record> dir = finish(4);
    ASSERT_EQ(dir.size(), 4u);
    EXPECT_EQ(dir[0].dataOffset, 0u);
    EXPECT_EQ(dir[1].dataOffset, 4u);
    EXPECT_EQ(dir[2].dataOffset, 4u + packed.size());
    EXPECT_EQ(dir[3].dataOffset, 4u + packed.size() + plain.size());
    EXPECT_EQ(dir[0].countOrLength, 4);
    for (int k = 1; k < 4; k++) EXPECT_EQ(dir[(size_t)k].countOrLength, 0) << k;
    EXPECT_EQ(fixture::readFile(outPath).size(), 4u + packed.size() + plain.size() + 3u + 4 * 40u);
}

// The limit is tested before any data is written.
TEST_F(ContainerWriter, ThirtyTwoEntriesAndNoMore) {
    openSource();
    create();
    for (int i = 0; i < 32; i++) ASSERT_TRUE(copyChunk("SMALL", 0)) << i;
    const uint32_t before = Writer.dataOffset;
    setErrorLatch(true);
    EXPECT_FALSE(copyChunk("SMALL", 0));
    EXPECT_TRUE(ErrorLatch);
    setErrorLatch(true);
    EXPECT_FALSE(addChunkFromMemory("abc", 3, "MEM", 0));
    EXPECT_FALSE(aliasEntry("OTHER", "SMALL"));
    EXPECT_FALSE(ErrorLatch);
    EXPECT_EQ(Writer.dataOffset, before);
    std::vector<Record> dir = finish(32);
    EXPECT_EQ(fixture::readFile(outPath).size(), 32u * 4 + 32u * 40);
    ASSERT_NE(openContainer(outPath.c_str()), INVALID_HANDLE_VALUE);
    EXPECT_EQ(readerEntryCount(), 32);
    EXPECT_EQ(le32(readerEntry(31)->dataOffset), 31u * 4);
}

TEST_F(ContainerWriter, CreateAndClose) {
    // Closed right after creating: no directory.
    create();
    closeContainer(writerHandle());
    EXPECT_TRUE(fixture::readFile(outPath).empty());
    EXPECT_EQ(openContainer(outPath.c_str()), INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenStage, OpenDirectoryRead);

    // Creating while a container is open finishes the first one.
    openSource();
    create();
    EXPECT_TRUE(copyChunk("SMALL", 0));
    const std::string second = dir.file("second.scr");
    ASSERT_NE(createContainer(second.c_str()), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Writer.entryCount, 0);
    EXPECT_EQ(Writer.dataOffset, 0u);
    EXPECT_EQ(finish(1).size(), 1u);
    EXPECT_EQ(fixture::readDirectory(fixture::readFile(outPath), 1)[0].name, "SMALL");
    EXPECT_TRUE(fixture::readFile(second).empty());

    // A file that cannot be created latches.
    setErrorLatch(true);
    EXPECT_EQ(createContainer(dir.file("no/such/folder").c_str()), INVALID_HANDLE_VALUE);
    EXPECT_TRUE(ErrorLatch);
    setErrorLatch(false);
    EXPECT_EQ(createContainer(dir.file("no/such/folder").c_str()), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(ErrorLatch);
}

TEST_F(ContainerWriter, LatchedOperationsDoNothing) {
    openSource();
    create();
    EXPECT_TRUE(copyChunk("SMALL", 0));
    setErrorLatch(true);
    ErrorLatch = true;
    EXPECT_FALSE(copyChunk("PLAIN", 0));
    EXPECT_FALSE(addChunkFromMemory("abc", 3, "MEM", 0));
    EXPECT_FALSE(aliasEntry("OTHER", "SMALL"));
    EXPECT_EQ(Writer.entryCount, 1);
    EXPECT_EQ(Writer.dataOffset, 4u);
    // createContainer creates nothing, but still finishes the open container.
    const std::string second = dir.file("second.scr");
    EXPECT_EQ(createContainer(second.c_str()), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(fixture::fileExists(second));
    EXPECT_EQ(fixture::readDirectory(fixture::readFile(outPath), 1)[0].name, "SMALL");
    EXPECT_TRUE(ErrorLatch);
}

TEST_F(ContainerWriter, CopyChunkFailures) {
    // Missing name, closed reader, closed writer: fail and latch, nothing written.
    openSource();
    create();
    setErrorLatch(true);
    EXPECT_FALSE(copyChunk("MISSING", 0));
    EXPECT_TRUE(ErrorLatch);
    setErrorLatch(true);
    closeContainer(readerHandle());
    EXPECT_FALSE(copyChunk("SMALL", 0));
    EXPECT_TRUE(ErrorLatch);
    EXPECT_EQ(Writer.dataOffset, 0u);
    closeContainer(writerHandle());
    setErrorLatch(true);
    openSource();
    EXPECT_FALSE(copyChunk("SMALL", 0));
    EXPECT_TRUE(ErrorLatch);

    // A transfer failing half-way: its bytes stay and count, no entry is made.
    Container c;
    c.addStored("OK", {9, 9});
    c.addStored("PASTEND", plain).storedSize = 100000;
    c.addCompressed("PACKED", plain);
    Bytes broken = fixture::compress(plain).value();
    broken[broken.size() / 2] ^= 1;
    Record& bad = c.addData("BROKEN", broken);
    bad.storage = StorageCompressed;
    bad.plainSize = (uint32_t)plain.size();
    c.writeTo(sourcePath);
    for (TransferFlags f : {TransferFlags(0), FlagExpand}) {
        SCOPED_TRACE(f);
        setErrorLatch(true);
        openSource();
        create();
        setErrorLatch(true);
        EXPECT_FALSE(copyChunk(f ? "BROKEN" : "PASTEND", f));
        EXPECT_TRUE(ErrorLatch);
        const uint32_t partial = Writer.dataOffset;
        EXPECT_GT(partial, 0u);
        EXPECT_EQ(Writer.entryCount, 0);
        setErrorLatch(true);
        EXPECT_TRUE(copyChunk("OK", 0));
        std::vector<Record> d = finish(1);
        ASSERT_EQ(d.size(), 1u);
        EXPECT_EQ(d[0].dataOffset, partial);
        EXPECT_EQ(fixture::readFile(outPath).size(), partial + 2u + 40u);
    }
}

TEST_F(ContainerWriter, AliasEntry) {
    openSource();
    create();
    EXPECT_TRUE(copyChunk("SMALL", 0));
    EXPECT_TRUE(copyChunk("PACKED", FlagExpand));  // stands in for MOVIE
    setErrorLatch(true);
    EXPECT_TRUE(aliasEntry("PREVIEWF", "packed"));
    EXPECT_TRUE(aliasEntry("FIRST", "SMALL"));  // a copy of entry 0 keeps its count byte
    EXPECT_FALSE(aliasEntry("NONE", "MISSING"));
    EXPECT_FALSE(ErrorLatch);
    std::vector<Record> d = finish(4);
    ASSERT_EQ(d.size(), 4u);
    EXPECT_EQ(d[2].name, "PREVIEWF");
    EXPECT_EQ(d[2].dataOffset, d[1].dataOffset);
    EXPECT_EQ(d[2].storedSize, d[1].storedSize);
    EXPECT_EQ(d[2].storage, d[1].storage);
    EXPECT_EQ(d[3].countOrLength, 3);
    EXPECT_EQ(fixture::readFile(outPath).size(), 4u + plain.size() + 4 * 40u);
    ASSERT_NE(openContainer(outPath.c_str()), INVALID_HANDLE_VALUE);
    EXPECT_TRUE(sameChunkData("PREVIEWF", "PACKED"));
    closeContainer(readerHandle());
    EXPECT_FALSE(aliasEntry("X", "SMALL"));  // the writer is closed
}

TEST_F(ContainerWriter, MarkerOffsetRule) {
    struct Case {
        int32_t marker;
        uint32_t plainSize;
        int32_t stored;
    } cases[] = {
        {5, 10, 5},          {9, 10, 9},   {0, 10, -1}, {10, 10, -1}, {11, 10, -1},
        {-1, 10, -1},        {-5, 10, -5}, {5, 0, -1},
        {5, 0x80000000u, -1},  // a plainSize above 2^31-1 compares as negative
    };
    create();
    for (const Case& k : cases) {
        appendEntry("M", 0, 1, k.plainSize, 0, k.marker);
        EXPECT_EQ((int32_t)le32(WriterEntries[Writer.entryCount - 1].markerOffset), k.stored)
            << k.marker << " in " << k.plainSize;
    }
}

TEST_F(ContainerWriter, NamesAreCutToSixteenCharacters) {
    create();
    EXPECT_TRUE(addChunkFromMemory("a", 1, "ABCDEFGHIJKLMNOPQRS", 0));
    EXPECT_TRUE(addChunkFromMemory("b", 1, "Fifteen_Chars_X", 0));
    finish(2);
    ASSERT_NE(openContainer(outPath.c_str()), INVALID_HANDLE_VALUE);
    EXPECT_EQ(memcmp(readerEntry(0)->name, "ABCDEFGHIJKLMNOP", 16), 0);
    EXPECT_EQ(chunkStoredSize("abcdefghijklmnop"), 1);
    EXPECT_EQ(chunkStoredSize("FIFTEEN_CHARS_X"), 1);
}

TEST_F(ContainerWriter, CopyNumberedChunks) {
    Container c;
    for (const char* name : {"ADDTL", "ADDTL01", "ADDTL03", "SERIES"})
        c.addStored(name, {(uint8_t)name[0]});
    for (int i = 1; i <= 12; i++) {
        char name[32];
        snprintf(name, sizeof name, "SERIES%02d", i);
        c.addStored(name, {(uint8_t)i});
    }
    c.writeTo(sourcePath);

    struct Case {
        const char* base;
        bool latchedBefore;
        std::vector<std::string> copied;
    } cases[] = {
        {"ADDTL", false, {"ADDTL", "ADDTL01"}},  // 02 is missing: 03 is never reached
        {"SERIES", false, {"SERIES", "SERIES01", "SERIES02", "SERIES03", "SERIES04", "SERIES05",
                           "SERIES06", "SERIES07", "SERIES08", "SERIES09", "SERIES10", "SERIES11",
                           "SERIES12"}},
        {"NONE", false, {}},
        {"ADDTL", true, {}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string(k.base) + (k.latchedBefore ? " latched" : ""));
        openSource();
        create();
        setErrorLatch(true);
        ErrorLatch = k.latchedBefore;
        copyNumberedChunks(k.base);
        EXPECT_EQ(ErrorLatch, k.latchedBefore);
        ASSERT_EQ(Writer.entryCount, (int32_t)k.copied.size());
        for (size_t i = 0; i < k.copied.size(); i++) EXPECT_EQ(std::string(WriterEntries[i].name), k.copied[i]);
        closeContainer(writerHandle());
    }

    // A full directory ends the series without latching.
    setErrorLatch(false);
    openSource();
    create();
    for (int i = 0; i < 30; i++) ASSERT_TRUE(copyChunk("ADDTL03", 0));
    setErrorLatch(true);
    copyNumberedChunks("SERIES");
    EXPECT_FALSE(ErrorLatch);
    EXPECT_EQ(Writer.entryCount, 32);
    EXPECT_EQ(std::string(WriterEntries[31].name), "SERIES01");
}

}  // namespace
