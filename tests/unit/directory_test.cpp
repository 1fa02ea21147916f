// Locating a container's directory, laying it out, and looking records up.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "directory.h"
#include "reader.h"
#include "support/fixture.h"

namespace {

using fixture::Bytes;
using fixture::Container;

class Directory : public ::testing::Test {
protected:
    void SetUp() override { fixture::resetContainerState(); }
    void TearDown() override { fixture::resetContainerState(); }
    fixture::TempDir dir;
};

Container withRecords(int n, size_t prefix = 100) {
    Container c;
    c.prefix = fixture::pattern(prefix, 9);
    for (int i = 0; i < n; i++)
        c.addStored("CHUNK" + std::to_string(i), fixture::pattern(10 + (size_t)i, (uint32_t)i));
    return c;
}

Bytes cutLast(Bytes b, size_t n) {
    b.resize(b.size() - n);
    return b;
}

Bytes appended(Bytes b, const Bytes& tail) {
    b.insert(b.end(), tail.begin(), tail.end());
    return b;
}

TEST_F(Directory, OpenAcceptsOnlyASoundDirectoryAtTheVeryEnd) {
    auto counted = [](int records, uint8_t count) {
        Container c = withRecords(records);
        c.count = count;
        return c.bytes();
    };
    auto with = [](std::function<void(Container&)> change) {
        Container c = withRecords(3);
        change(c);
        return c.bytes();
    };
    struct Case {
        const char* what;
        Bytes file;
        int count;  // 0: no directory
    } cases[] = {
        {"empty file", {}, 0},
        {"39 bytes", fixture::pattern(39), 0},
        {"one record and nothing else", withRecords(1, 0).bytes(), 1},
        {"one record behind a prefix", withRecords(1).bytes(), 1},
        {"three records", withRecords(3).bytes(), 3},
        {"32 records", withRecords(32).bytes(), 32},
        {"32 records, nothing before them", withRecords(32, 0).bytes(), 32},
        {"33 records", withRecords(33).bytes(), 0},
        {"one byte appended", appended(withRecords(3).bytes(), {0}), 0},
        {"a record's worth appended", appended(withRecords(3).bytes(), Bytes(40, 0)), 0},
        {"a copy of the last record appended",
         appended(withRecords(3).bytes(), cutLast(withRecords(1, 0).bytes(), 0)), 1},
        {"last byte cut off", cutLast(withRecords(3).bytes(), 1), 0},
        {"first directory byte cut off", cutLast(withRecords(1, 0).bytes(), 0), 1},
        {"count 0", counted(3, 0), 0},
        {"count 2 of 3 records", counted(3, 2), 0},
        {"count 4 of 3 records", counted(3, 4), 0},
        {"count 33", counted(33, 33), 0},
        {"wrong magic", with([](Container& c) { c.records[0].magic ^= 1; }), 0},
        {"magic wrong only in a record not ending the file",
         with([](Container& c) { c.records[2].magic = 0; }), 3},
        {"record length and storage are not checked",
         with([](Container& c) { c.records[0].recordLength = 7; c.records[0].storage = 9; }), 3},
        {"directory not enciphered", with([](Container& c) { c.encipher = false; }), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.file("case");
        fixture::writeFile(path, c.file);
        HANDLE h = openContainer(path.c_str());
        EXPECT_EQ(OpenStage, OpenDirectoryRead);
        if (c.count == 0) {
            EXPECT_EQ(h, INVALID_HANDLE_VALUE);
            EXPECT_EQ(readerHandle(), INVALID_HANDLE_VALUE);
        } else {
            EXPECT_NE(h, INVALID_HANDLE_VALUE);
            EXPECT_EQ(readerEntryCount(), c.count);
        }
        closeContainer(h);
    }
}

TEST_F(Directory, RecordsComeInTheOrderEntered) {
    Container c = withRecords(5);
    c.records[3].markerOffset = 4;
    const std::string path = dir.file("five");
    c.writeTo(path);
    ASSERT_NE(openContainer(path.c_str()), INVALID_HANDLE_VALUE);
    ASSERT_EQ(readerEntryCount(), 5);
    for (int k = 0; k < 5; k++) {
        const DirectoryEntry* e = readerEntry(k);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(std::string(e->name), "CHUNK" + std::to_string(k));
        EXPECT_EQ(le32(e->dataOffset), c.records[(size_t)k].dataOffset);
        EXPECT_EQ(le32(e->storedSize), c.records[(size_t)k].storedSize);
        EXPECT_EQ((int32_t)le32(e->markerOffset), k == 3 ? 4 : -1);
        EXPECT_EQ(le32(e->magic), DirectoryMagic);
    }
    EXPECT_EQ(readerEntry(5), nullptr);
    EXPECT_EQ(readerEntry(-1), nullptr);
}

TEST_F(Directory, FilesThatDoNotOpen) {
    EXPECT_EQ(openContainer(dir.file("missing").c_str()), INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenStage, OpenFileFailed);
    EXPECT_EQ(openContainer(dir.path().c_str()), INVALID_HANDLE_VALUE);  // a folder
    EXPECT_EQ(OpenStage, OpenFileFailed);
}

// Sizes above 4 GiB: the directory is still found at the very end.
TEST_F(Directory, FoundAtTheEndOfAFileAbove4GiB) {
    const std::string path = dir.file("big");
    const Bytes small = withRecords(2, 0).bytes();
    int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    const off_t at = (off_t)0x100000000LL + 123;
    bool sparse = ftruncate(fd, at) == 0 && pwrite(fd, small.data(), small.size(), at) ==
                                                (ssize_t)small.size();
    close(fd);
    if (!sparse) GTEST_SKIP() << "no sparse file here";
    EXPECT_NE(openContainer(path.c_str()), INVALID_HANDLE_VALUE);
    EXPECT_EQ(readerEntryCount(), 2);
}

// After a miss for N the bytes are enciphered back, so the try for N + 1
// starts from the stored bytes; a search that finds nothing leaves them as read.
TEST_F(Directory, SearchRestoresTheBytesAfterEachMiss) {
    for (int n : {1, 2, 3, 31, 32}) {
        SCOPED_TRACE(n);
        Container c = withRecords(n, 2000);
        const Bytes file = c.bytes();
        Bytes tail(file.end() - 32 * 40, file.end());
        const Bytes asRead = tail;
        ASSERT_EQ(locateDirectory(tail.data(), 32), n);
        const size_t before = (size_t)(32 - n) * 40;
        EXPECT_TRUE(std::equal(tail.begin(), tail.begin() + (long)before, asRead.begin()));
        const DirectoryEntry* first = locatedRecord(tail.data(), (uint32_t)tail.size(), 0);
        EXPECT_EQ(first->countOrLength, n);
        EXPECT_STREQ(first->name, "CHUNK0");
    }
    Bytes garbage = fixture::pattern(32 * 40, 77);
    const Bytes asRead = garbage;
    EXPECT_EQ(locateDirectory(garbage.data(), 32), 0);
    EXPECT_EQ(garbage, asRead);
    EXPECT_EQ(locateDirectory(garbage.data(), 0), 0);
}

// The layout the writer uses agrees byte for byte with the fixture's.
TEST_F(Directory, LayoutMatchesAnIndependentLayout) {
    for (int n : {1, 2, 32}) {
        Container c = withRecords(n);
        c.records[0].countOrLength = 99;  // replaced by the count in both
        std::vector<DirectoryEntry> entries((size_t)n);
        for (int k = 0; k < n; k++) memcpy(&entries[(size_t)k], c.records[(size_t)k].bytes().data(), 40);
        Bytes out((size_t)n * 40);
        layoutDirectory(entries.data(), n, out.data());
        EXPECT_EQ(out, c.directoryBytes()) << n;
    }
}

TEST_F(Directory, FindEntryByNameAndMode) {
    Container c;
    c.addStored("SAVER", {1});
    c.addStored("saver", {2, 2});  // the same name: never reached
    c.addStored("FIFTEENCHARSXYZ", {3});
    c.addStored("SIXTEENCHARSXYZW", {4});  // no NUL in the record
    c.addInline("TAG", {5});
    c.addStored("TAG", {6});  // shadowed by the inline record
    c.addStored("\xC4"
                "BC",
                {7});
    const std::string path = dir.file("names");
    c.writeTo(path);
    ASSERT_NE(openContainer(path.c_str()), INVALID_HANDLE_VALUE);

    const int both = MatchStored | MatchInline;
    struct Case {
        const char* name;
        int mode;
        int record;  // -1: none
    } cases[] = {
        {"SAVER", MatchStored, 0},
        {"saver", MatchStored, 0},
        {"sAvEr", both, 0},
        {"SAVER", MatchInline, -1},
        {"SAVE", MatchStored, -1},
        {"SAVERS", MatchStored, -1},
        {"", MatchStored, -1},
        {nullptr, MatchStored, -1},
        {"fifteencharsxyz", MatchStored, 2},
        {"SIXTEENCHARSXYZW", MatchStored, 3},
        {"SIXTEENCHARSXYZWX", MatchStored, -1},
        {"SIXTEENCHARSXYZ", MatchStored, -1},
        {"TAG", MatchStored, -1},
        {"tag", MatchInline, 4},
        {"TAG", both, 4},
        {"\xE4"
         "BC",
         MatchStored, -1},  // only ASCII letters fold
        {"\xC4"
         "bc",
         MatchStored, 6},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name ? k.name : "(null)");
        const DirectoryEntry* e = findEntry(k.name, k.mode);
        EXPECT_EQ(e, k.record < 0 ? nullptr : readerEntry(k.record));
    }
    EXPECT_EQ(chunkStoredSize("TAG"), -1);
    EXPECT_EQ(chunkStoredSize("Saver"), 1);
}

TEST_F(Directory, InlineLengths) {
    struct Case {
        uint8_t countOrLength;
        size_t length;
    } cases[] = {{0, 0}, {1, 1}, {12, 12}, {13, 13}, {16, 16}, {17, 0}, {20, 0}, {0x80, 0}, {0xFF, 0}};
    Container c;
    c.addStored("FIRST", {1, 2, 3});
    const Bytes bytes = fixture::pattern(17, 5);
    for (const Case& k : cases) {
        fixture::Record& r = c.addInline("IN" + std::to_string(k.countOrLength), bytes);
        r.countOrLength = k.countOrLength;
    }
    const std::string path = dir.file("inline");
    c.writeTo(path);
    ASSERT_NE(openContainer(path.c_str()), INVALID_HANDLE_VALUE);
    for (const Case& k : cases) {
        SCOPED_TRACE((int)k.countOrLength);
        uint8_t buffer[16 + 4];
        memset(buffer, 0xEE, sizeof buffer);
        int32_t length = -5;
        EXPECT_TRUE(readInlineData(("IN" + std::to_string(k.countOrLength)).c_str(), buffer, &length));
        EXPECT_EQ(length, (int32_t)k.length);
        EXPECT_EQ(Bytes(buffer, buffer + k.length), Bytes(bytes.begin(), bytes.begin() + (long)k.length));
        for (size_t i = k.length; i < sizeof buffer; i++) EXPECT_EQ(buffer[i], 0xEE) << i;
    }
    int32_t length = -5;
    uint8_t buffer[16];
    EXPECT_FALSE(readInlineData("FIRST", buffer, &length));  // not inline
    EXPECT_EQ(length, 0);
    EXPECT_TRUE(readInlineData("IN16", buffer, nullptr));
    closeContainer(readerHandle());
    length = -5;
    EXPECT_FALSE(readInlineData("IN16", buffer, &length));  // needs the reader open
    EXPECT_EQ(length, 0);
}

// The queries work on the directory last loaded, which only a successful
// open replaces.
TEST_F(Directory, QueriesSurviveCloseAndFailedOpens) {
    const std::string good = dir.file("good"), bad = dir.file("bad");
    withRecords(3).writeTo(good);
    fixture::writeFile(bad, fixture::pattern(500));
    HANDLE h = openContainer(good.c_str());
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    closeContainer(h);
    EXPECT_EQ(readerHandle(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(chunkStoredSize("CHUNK2"), 12);
    EXPECT_EQ(openContainer(bad.c_str()), INVALID_HANDLE_VALUE);
    EXPECT_EQ(readerEntryCount(), 3);
    EXPECT_EQ(chunkPlainSize("chunk1"), 11);
    withRecords(1).writeTo(bad);
    EXPECT_NE(openContainer(bad.c_str()), INVALID_HANDLE_VALUE);
    EXPECT_EQ(readerEntryCount(), 1);
    EXPECT_EQ(chunkPlainSize("CHUNK1"), -1);
}

}  // namespace
