// The reader's data operations: inline bytes, a chunk into memory, a chunk
// out to a file.
#include <string.h>

#include "file_io.h"
#include "reader.h"
#include "transfer.h"

namespace {

// Latches a failure when latching is on, else leaves the latch clear.
bool latchResult(bool ok) {
    ErrorLatch = !ok && ErrorLatchEnabled;
    return ok;
}

// How a stored or compressed entry is read back as plain bytes.
TransferFlags plainReadFlags(const DirectoryEntry* e) {
    return e->storage == StorageCompressed ? FlagExpand : (TransferFlags)e->xorKey;
}

}  // namespace

bool readInlineData(const char* name, uint8_t* buffer, int32_t* outLength) {
    int32_t length = 0;
    bool ok = false;
    const DirectoryEntry* e =
        Reader.handle != INVALID_HANDLE_VALUE ? findEntry(name, MatchInline) : nullptr;
    if (e) {
        length = (int8_t)e->countOrLength;
        if (length < 0 || length > InlineMaxLength) length = 0;
        memcpy(buffer, (const uint8_t*)e + InlineDataOffset, (uint32_t)length);
        ok = true;
    }
    if (outLength) *outLength = length;
    return ok;
}

// A compressed chunk whose expansion would exceed maxBytes fails: the memory
// target ends at maxBytes, so nothing is ever written past it.
bool readChunkToMemory(const char* name, void* buffer, int32_t maxBytes) {
    if (ErrorLatch) return false;
    bool ok = false;
    const DirectoryEntry* e =
        Reader.handle != INVALID_HANDLE_VALUE ? findEntry(name, MatchStored) : nullptr;
    if (e && buffer && maxBytes >= 0 && seekTo(Reader.handle, le32(e->dataOffset))) {
        uint32_t stored = le32(e->storedSize);
        int32_t length = stored < (uint32_t)maxBytes ? (int32_t)stored : maxBytes;
        ok = transferChunk(fileEnd(Reader.handle), memoryEnd(buffer, (uint32_t)maxBytes), length,
                           plainReadFlags(e) | FlagMemoryTarget);
    }
    return latchResult(ok);
}

bool extractChunkToFile(const char* name, const char* path) {
    if (ErrorLatch) return false;
    const DirectoryEntry* e = Reader.handle != INVALID_HANDLE_VALUE
                                  ? findEntry(name, MatchStored | MatchInline)
                                  : nullptr;
    HANDLE out = (e && path) ? createOutputFile(path) : INVALID_HANDLE_VALUE;
    if (out == INVALID_HANDLE_VALUE) return latchResult(false);
    bool ok = false;
    if (e->storage == StorageInline) {
        uint8_t bytes[InlineMaxLength];
        int32_t length = 0;
        ok = readInlineData(name, bytes, &length) && writeAll(out, bytes, (uint32_t)length);
    } else if (seekTo(Reader.handle, le32(e->dataOffset))) {
        int32_t length = (int32_t)le32(e->storedSize);
        ok = transferChunk(fileEnd(Reader.handle), fileEnd(out), length, plainReadFlags(e));
    }
    CloseHandle(out);
    return latchResult(ok);
}
