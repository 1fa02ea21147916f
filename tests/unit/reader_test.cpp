// The container reader: opening (OpenStage, the running program), the
// ErrorLatch, reading chunks into memory and out to files, size queries.
#include <dirent.h>
#include <gtest/gtest.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "reader.h"
#include "support/fixture.h"

namespace {

using fixture::Bytes;
using fixture::Container;

class ContainerReader : public ::testing::Test {
protected:
    void SetUp() override { fixture::resetContainerState(); }
    void TearDown() override { fixture::resetContainerState(); }

    // Writes c and opens it.
    void open(const Container& c) {
        c.writeTo(path);
        ASSERT_NE(openContainer(path.c_str()), INVALID_HANDLE_VALUE);
    }
    fixture::TempDir dir;
    std::string path = dir.file("container.exe");
};

int openDescriptors() {
    int n = 0;
    DIR* d = opendir("/proc/self/fd");
    if (!d) return -1;
    while (readdir(d)) n++;
    closedir(d);
    return n;
}

TEST_F(ContainerReader, LatchedOpenDoesNothing) {
    Container c;
    c.addStored("A", {1});
    c.writeTo(path);
    setErrorLatch(true);
    ErrorLatch = true;
    EXPECT_EQ(openContainer(path.c_str()), INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenStage, OpenNotTried);
    EXPECT_EQ(openContainer(dir.file("missing").c_str()), INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenStage, OpenNotTried);  // the file was not even tried
    EXPECT_TRUE(ErrorLatch);
    EXPECT_EQ(readerHandle(), INVALID_HANDLE_VALUE);
}

TEST_F(ContainerReader, OpenLatchesOnlyWhenEnabled) {
    Container c;
    c.addStored("A", {1});
    c.writeTo(path);
    const std::string missing = dir.file("missing");
    struct Case {
        bool enabled;
        const std::string* file;
        bool latched;
    } cases[] = {
        {false, &missing, false},
        {true, &missing, true},
        {true, &path, false},
    };
    for (const Case& k : cases) {
        setErrorLatch(k.enabled);
        openContainer(k.file->c_str());
        EXPECT_EQ(ErrorLatch, k.latched) << k.enabled << " " << *k.file;
    }
}

// With no path the running program is opened: natively GetModuleFileNameA
// can be pointed at a container; the test program itself holds no directory.
TEST_F(ContainerReader, OpenWithNoPathOpensTheRunningProgram) {
    Container c;
    c.prefix = fixture::pattern(3000);
    c.addStored("INFO", {1, 2, 3});
    c.writeTo(path);
    platformSetModulePath(path.c_str());
    EXPECT_NE(openContainer(nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(chunkStoredSize("INFO"), 3);

    platformSetModulePath(nullptr);
    EXPECT_EQ(openContainer(nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenStage, OpenDirectoryRead);  // read, but no directory: "damaged"

    // A path that does not fit the 256-byte buffer is not cut into another name.
    const std::string longPath = dir.path() + "/" + std::string(300, 'a');
    platformSetModulePath(longPath.c_str());
    EXPECT_EQ(openContainer(nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenStage, OpenFileFailed);
}

TEST_F(ContainerReader, ReopeningClosesTheFirstHandle) {
    Container c;
    c.addStored("A", {1});
    c.writeTo(path);
    ASSERT_NE(openContainer(path.c_str()), INVALID_HANDLE_VALUE);
    const int before = openDescriptors();
    for (int i = 0; i < 20; i++) ASSERT_NE(openContainer(path.c_str()), INVALID_HANDLE_VALUE);
    EXPECT_EQ(openDescriptors(), before);
    closeContainer(readerHandle());
    EXPECT_EQ(openDescriptors(), before - 1);
    closeContainer(INVALID_HANDLE_VALUE);  // nothing
    closeContainer(readerHandle());
}

// readChunkToMemory never writes past maxBytes.
TEST_F(ContainerReader, ReadChunkToMemory) {
    const Bytes big = fixture::pattern(10000, 1);
    const Bytes info = fixture::pattern(6148, 2);
    Container c;
    c.prefix = fixture::pattern(512, 3);
    c.addStored("BIG", big);
    c.addStored("SCRAMBLED", big, 0x5A);
    c.addStored("SMALL", Bytes(big.begin(), big.begin() + 100));
    c.addStored("EMPTY", {});
    c.addCompressed("INFO", info);
    Bytes damaged = fixture::compress(info).value();
    damaged[damaged.size() / 2] ^= 0x10;
    fixture::Record& bad = c.addData("DAMAGED", damaged);
    bad.storage = StorageCompressed;
    bad.plainSize = 6148;
    c.addInline("TAG", {1, 2});
    fixture::Record& past = c.addStored("PASTEND", {1, 2, 3});
    past.storedSize = 1000000;
    fixture::Record& far = c.addStored("FAR", {1});
    far.dataOffset = 0x80000000u;
    fixture::Record& farCompressed = c.addRecord(c.records[4]);
    farCompressed.name = "FARPACKED";
    farCompressed.dataOffset = 0x90000000u;
    open(c);

    struct Case {
        const char* name;
        int32_t maxBytes;
        bool ok;
        Bytes expected;  // the bytes delivered, when ok
    } cases[] = {
        {"BIG", 6148, true, Bytes(big.begin(), big.begin() + 6148)},
        {"BIG", 10000, true, big},
        {"BIG", 20000, true, big},
        {"BIG", 0, true, {}},
        {"scrambled", 6148, true, Bytes(big.begin(), big.begin() + 6148)},
        {"SMALL", 6148, true, Bytes(big.begin(), big.begin() + 100)},
        {"EMPTY", 6148, true, {}},
        {"INFO", 6148, true, info},
        {"INFO", 9000, true, info},
        {"INFO", 6147, false, {}},
        {"INFO", 0, false, {}},
        {"DAMAGED", 6148, false, {}},
        {"TAG", 6148, false, {}},
        {"MISSING", 6148, false, {}},
        {"PASTEND", 6148, false, {}},
        {"FAR", 6148, false, {}},
        {"FARPACKED", 6148, false, {}},
        {"BIG", -1, false, {}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string(k.name) + " max " + std::to_string(k.maxBytes));
        const size_t room = k.maxBytes > 0 ? (size_t)k.maxBytes : 0;
        Bytes buffer(room + 64, 0xEE);
        EXPECT_EQ(readChunkToMemory(k.name, buffer.data(), k.maxBytes), k.ok);
        if (k.ok) {
            EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + (long)k.expected.size()), k.expected);
            for (size_t i = k.expected.size(); i < buffer.size(); i++)
                ASSERT_EQ(buffer[i], 0xEE) << "written at " << i;
        }
        for (size_t i = room; i < buffer.size(); i++) ASSERT_EQ(buffer[i], 0xEE) << "past maxBytes at " << i;
    }
}

TEST_F(ContainerReader, ExtractChunkToFile) {
    const Bytes movie = fixture::pattern(40000, 4);
    Container c;
    c.prefix = fixture::pattern(100, 5);
    c.addStored("PLAIN", movie);
    c.addStored("SCRAMBLED", movie, 0xA5);
    c.addCompressed("PACKED", movie);
    c.addInline("TAG16", fixture::pattern(16, 6));
    c.addInline("TAG17", fixture::pattern(17, 6));
    fixture::Record& past = c.addStored("PASTEND", movie);
    past.storedSize = 100000;  // runs past the end of the file
    open(c);
    struct Case {
        const char* name;
        bool ok;
        Bytes expected;  // the file's bytes afterwards
    } cases[] = {
        {"plain", true, movie},
        {"SCRAMBLED", true, movie},
        {"PACKED", true, movie},
        {"TAG16", true, fixture::pattern(16, 6)},
        {"TAG17", true, {}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        const std::string out = dir.file(std::string("out-") + k.name);
        setErrorLatch(true);
        EXPECT_EQ(extractChunkToFile(k.name, out.c_str()), k.ok);
        EXPECT_EQ(ErrorLatch, !k.ok);
        EXPECT_EQ(fixture::readFile(out), k.expected);
    }

    // A chunk running past the end of the file: the blocks moved before the
    // short read stay in the output, which is not deleted.
    const std::string out = dir.file("out-pastend");
    setErrorLatch(true);
    EXPECT_FALSE(extractChunkToFile("PASTEND", out.c_str()));
    EXPECT_TRUE(ErrorLatch);
    const Bytes partial = fixture::readFile(out);
    EXPECT_GT(partial.size(), 0u);
    EXPECT_LT(partial.size(), movie.size());
    EXPECT_EQ(partial, Bytes(movie.begin(), movie.begin() + (long)partial.size()));

    // Failures that create nothing.
    setErrorLatch(true);
    EXPECT_FALSE(extractChunkToFile("PLAIN", nullptr));
    EXPECT_TRUE(ErrorLatch);
    setErrorLatch(true);
    EXPECT_FALSE(extractChunkToFile("MISSING", dir.file("missing").c_str()));
    EXPECT_TRUE(ErrorLatch);
    EXPECT_FALSE(fixture::fileExists(dir.file("missing")));
    setErrorLatch(true);
    EXPECT_FALSE(extractChunkToFile("PLAIN", dir.file("no/such/folder").c_str()));
    EXPECT_TRUE(ErrorLatch);
}

// Latched operations do nothing; failures latch only when latching is on; a
// success leaves the latch clear.
TEST_F(ContainerReader, LatchRulesOfTheDataOperations) {
    Container c;
    c.addStored("A", {1, 2, 3});
    open(c);
    uint8_t buffer[8] = {};
    const std::string out = dir.file("out");

    setErrorLatch(false);
    EXPECT_FALSE(readChunkToMemory("MISSING", buffer, 8));
    EXPECT_FALSE(ErrorLatch);
    EXPECT_FALSE(extractChunkToFile("MISSING", out.c_str()));
    EXPECT_FALSE(ErrorLatch);

    setErrorLatch(true);
    EXPECT_TRUE(readChunkToMemory("A", buffer, 8));
    EXPECT_FALSE(ErrorLatch);
    EXPECT_FALSE(readChunkToMemory("MISSING", buffer, 8));
    EXPECT_TRUE(ErrorLatch);

    // Latched: nothing is read, nothing is created, the latch stays.
    memset(buffer, 0xEE, sizeof buffer);
    EXPECT_FALSE(readChunkToMemory("A", buffer, 8));
    EXPECT_EQ(buffer[0], 0xEE);
    EXPECT_FALSE(extractChunkToFile("A", out.c_str()));
    EXPECT_FALSE(fixture::fileExists(out));
    EXPECT_TRUE(ErrorLatch);

    // Callers may clear it directly.
    ErrorLatch = false;
    EXPECT_TRUE(extractChunkToFile("A", out.c_str()));
    EXPECT_EQ(fixture::readFile(out), Bytes({1, 2, 3}));

    // The data operations need the reader open; the queries do not.
    closeContainer(readerHandle());
    EXPECT_FALSE(readChunkToMemory("A", buffer, 8));
    EXPECT_TRUE(ErrorLatch);
    setErrorLatch(true);
    EXPECT_FALSE(extractChunkToFile("A", dir.file("out2").c_str()));
    EXPECT_TRUE(ErrorLatch);
    EXPECT_EQ(chunkStoredSize("A"), 3);
}

TEST_F(ContainerReader, SizeQueriesAndSharedData) {
    Container c;
    c.addStored("STORED", fixture::pattern(500));
    c.addCompressed("INFO", fixture::pattern(6148, 8));
    c.addRecord(c.records[0]).name = "ALIAS";
    fixture::Record& odd = c.addRecord(c.records[0]);
    odd.name = "SAMEDATA";  // same dataOffset, other sizes
    odd.storedSize = 7;
    odd.plainSize = 9;
    c.addInline("TAG", {1});
    c.records.back().dataOffset = c.records[0].dataOffset;
    open(c);

    struct Case {
        const char* name;
        int32_t stored, plain, expansion;
    } cases[] = {
        {"STORED", 500, 500, 0},
        {"INFO", (int32_t)c.records[1].storedSize, 6148, 6148},
        {"SAMEDATA", 7, 9, 9},
        {"MISSING", -1, -1, 0},
        {"TAG", -1, -1, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        EXPECT_EQ(chunkStoredSize(k.name), k.stored);
        EXPECT_EQ(chunkPlainSize(k.name), k.plain);
        EXPECT_EQ(chunkExpansionSize(k.name), k.expansion);
    }
    EXPECT_TRUE(sameChunkData("STORED", "alias"));
    EXPECT_TRUE(sameChunkData("SAMEDATA", "STORED"));
    EXPECT_FALSE(sameChunkData("STORED", "INFO"));
    EXPECT_FALSE(sameChunkData("STORED", "MISSING"));
    EXPECT_FALSE(sameChunkData("MISSING", "MISSING"));
    EXPECT_FALSE(sameChunkData("STORED", "TAG"));
}

}  // namespace
