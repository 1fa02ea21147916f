// Any bytes as an installer file: open it, ask every query about every record,
// read every chunk into bounded memory and out to a file, then run the install
// sequence's copies into a new container. Properties: nothing is read or
// written past a buffer, the queries agree with each other, and a copy that
// reports success leaves a container that opens and reads back.
#include <string.h>

#include "chunk_table.h"
#include "fuzz_support.h"
#include "reader.h"
#include "writer.h"

namespace {

constexpr int32_t InfoSize = 6148;   // the settings record the installer reads
constexpr int32_t MemoryCap = 65536; // bound of the memory reads here

void readIntoMemory(const char* name, int32_t plainSize) {
    // Exactly the plain size when it is small (a read that fits must not need
    // a byte more), and the installer's INFO buffer size.
    int32_t extents[] = {plainSize >= 0 && plainSize < MemoryCap ? plainSize : MemoryCap, InfoSize};
    for (int32_t extent : extents) {
        fuzz::GuardedBuffer buffer((size_t)extent);
        readChunkToMemory(name, buffer.data(), extent);
        fuzz::check(buffer.intact(), "readChunkToMemory wrote past its buffer");
        fuzz::check(!ErrorLatch, "a read latched with latching off");
    }
}

void queryEntry(int32_t k) {
    const DirectoryEntry* e = readerEntry(k);
    fuzz::check(e != nullptr, "a record within the count is missing");
    char name[ChunkNameSize + 1];
    memcpy(name, e->name, ChunkNameSize);
    name[ChunkNameSize] = 0;

    const DirectoryEntry* stored = findEntry(name, MatchStored);
    const DirectoryEntry* inlined = findEntry(name, MatchInline);
    fuzz::check(!(stored && inlined), "one name found in both storage classes");
    fuzz::check(findEntry(name, MatchStored | MatchInline) == (stored ? stored : inlined),
                "findEntry modes disagree");
    int32_t storedSize = chunkStoredSize(name);
    int32_t plainSize = chunkPlainSize(name);
    fuzz::check(stored != nullptr || (storedSize == -1 && plainSize == -1),
                "a size of a chunk that findEntry does not find");
    int32_t expansion = chunkExpansionSize(name);
    fuzz::check(expansion == (plainSize != storedSize ? plainSize : 0), "chunkExpansionSize");
    fuzz::check(sameChunkData(name, name) == (stored != nullptr), "sameChunkData of a name with itself");
    if (k > 0) {
        const DirectoryEntry* before = readerEntry(k - 1);
        char other[ChunkNameSize + 1];
        memcpy(other, before->name, ChunkNameSize);
        other[ChunkNameSize] = 0;
        fuzz::check(sameChunkData(name, other) == sameChunkData(other, name), "sameChunkData symmetry");
    }

    uint8_t inlineBytes[16 + fuzz::GuardedBuffer::GuardSize];
    memset(inlineBytes, 0xA5, sizeof inlineBytes);
    int32_t length = -1;
    bool found = readInlineData(name, inlineBytes, &length);
    fuzz::check(found == (inlined != nullptr), "readInlineData disagrees with findEntry");
    fuzz::check(length >= 0 && length <= 16, "inline length out of range");
    for (size_t i = 16; i < sizeof inlineBytes; i++)
        fuzz::check(inlineBytes[i] == 0xA5, "readInlineData wrote past 16 bytes");

    readIntoMemory(name, plainSize);
    extractChunkToFile(name, "/dev/null");
    fuzz::check(!ErrorLatch, "an extraction latched with latching off");
}

// The install sequence's container steps, into a scratch file.
uint8_t info[InfoSize];

bool installCopy(const char* installer, const char* out) {
    setErrorLatch(true);
    HANDLE own = openContainer(installer);
    if (own == INVALID_HANDLE_VALUE) {
        fuzz::check(ErrorLatch, "a failed open did not latch");
        return false;
    }
    memset(info, 0, sizeof info);
    if (readChunkToMemory("INFO", info, InfoSize)) {
        HANDLE target = createContainer(out);
        // INFO stored here, where the installer compresses it: the compressor
        // has its own target, and this keeps the runs fast enough to go deep.
        writeScreensaverChunks(info, InfoSize, 0);
        closeContainer(target);
    }
    closeContainer(own);
    bool ok = !ErrorLatch;
    setErrorLatch(false);
    return ok;
}

// A container the copies reported as written must open and give back every
// chunk the sequence wrote, INFO as the record that was read.
void checkInstalled(const char* out) {
    fuzz::check(openContainer(out) != INVALID_HANDLE_VALUE, "a written container does not open");
    for (const char* name : {"SAVER", "STUB", "MOVIE", "INFO", "ZETT", "KMDL"}) {
        const DirectoryEntry* e = findEntry(name, MatchStored);
        fuzz::check(e != nullptr, "a written chunk is missing");
        // Expanded and copied chunks are stored. (A copied entry keeps the
        // source's plainSize, which need not be true.)
        uint32_t wide = le32(e->storedSize);
        if (wide > 4 * (uint32_t)MemoryCap) continue;
        int32_t size = (int32_t)wide;
        fuzz::GuardedBuffer buffer((size_t)size);
        fuzz::check(readChunkToMemory(name, buffer.data(), size), "a written chunk does not read back");
        fuzz::check(buffer.intact(), "readChunkToMemory wrote past its buffer");
        if (strcmp(name, "INFO") == 0)
            fuzz::check(size == InfoSize && memcmp(buffer.data(), info, InfoSize) == 0,
                        "the written INFO is not the record read");
    }
    closeContainer(readerHandle());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = fuzz::scratchPath("container");
    static const std::string out = fuzz::scratchPath("container-out");
    fuzz::writeWhole(path.c_str(), data, size);

    setErrorLatch(false);
    HANDLE h = openContainer(path.c_str());
    if (h == INVALID_HANDLE_VALUE) {
        fuzz::check(OpenStage == OpenDirectoryRead, "a readable file is not reported as damaged");
        return 0;
    }
    int32_t count = readerEntryCount();
    fuzz::check(count >= 1 && count <= DirectoryMaxRecords && (size_t)count * 40 <= size,
                "directory count out of range");
    for (int32_t k = 0; k < count; k++) queryEntry(k);
    closeContainer(h);

    if (installCopy(path.c_str(), out.c_str())) checkInstalled(out.c_str());
    return 0;
}
