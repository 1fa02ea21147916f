// Chunk transfer: the plain block copy, and the dispatch to the stream layer
// for expansion and compression.
#include "transfer.h"

#include <string.h>

#include "stream.h"

namespace {

constexpr uint32_t BlockSize = 16384;
uint8_t BlockBuffer[BlockSize];

// Fills BlockBuffer with up to n bytes from the source; the count it got.
uint32_t readBlock(TransferEnd& source, uint32_t n, bool fromMemory) {
    if (fromMemory) {
        uint32_t got = n < source.extent ? n : source.extent;
        memcpy(BlockBuffer, source.memory, got);
        source.memory += got;
        source.extent -= got;
        return got;
    }
    DWORD got = 0;
    if (!ReadFile(source.file, BlockBuffer, n, &got, nullptr) || got > n) return 0;
    return got;
}

// Writes n bytes of BlockBuffer to the target, never past a memory extent;
// the count written.
uint32_t writeBlock(TransferEnd& target, uint32_t n, bool toMemory) {
    if (toMemory) {
        uint32_t put = n < target.extent ? n : target.extent;
        memcpy(target.memory, BlockBuffer, put);
        target.memory += put;
        target.extent -= put;
        return put;
    }
    DWORD put = 0;
    if (!WriteFile(target.file, BlockBuffer, n, &put, nullptr) || put > n) return 0;
    return put;
}

// The plain copy of length bytes in blocks, XORing each with the key byte.
// Returns true when all were moved; false on a short read or write (length
// then counts the bytes that reached the target).
bool copyBlocks(TransferEnd source, TransferEnd target, int32_t& length, TransferFlags flags) {
    uint32_t remaining = (uint32_t)length;
    length = 0;
    const bool fromMemory = flags & FlagMemorySource;
    const bool toMemory = flags & FlagMemoryTarget;
    const uint32_t key = flags & FlagKeyMask;
    while (remaining > 0) {
        uint32_t n = remaining < BlockSize ? remaining : BlockSize;
        uint32_t got = readBlock(source, n, fromMemory);
        if (got < n) return false;
        if (key) xorBytes(BlockBuffer, n, key);
        uint32_t put = writeBlock(target, n, toMemory);
        length += (int32_t)put;
        if (put < n) return false;
        remaining -= n;
    }
    return true;
}

}  // namespace

void xorBytes(uint8_t* buffer, uint32_t length, uint32_t key) {
    const uint8_t k = (uint8_t)key;
    for (uint32_t i = 0; i < length; i++) buffer[i] ^= k;
}

bool transferChunk(TransferEnd source, TransferEnd target, int32_t& length, TransferFlags flags) {
    const bool fromMemory = flags & FlagMemorySource;
    const bool toMemory = flags & FlagMemoryTarget;
    if (!(flags & FlagExpand) && length < 0) {
        length = 0;
        return false;
    }
    if (!(flags & (FlagExpand | FlagCompress))) return copyBlocks(source, target, length, flags);

    // A memory target with no address takes no bytes: give the stream layer a
    // valid address with no room rather than let it fall back to the file.
    static uint8_t noRoom[1];
    uint8_t* targetMemory = !toMemory ? nullptr : target.memory ? target.memory : noRoom;
    setStreamEnds(!fromMemory, fromMemory ? source.extent : 0, targetMemory,
                  toMemory && target.memory ? target.extent : 0);
    const void* from = fromMemory ? (const void*)source.memory : (const void*)source.file;
    bool ok;
    if (flags & FlagExpand) {
        ok = expandChunk(from, target.file);
    } else {
        XorKey = (uint16_t)(flags & FlagKeyMask);
        ok = compressChunk(from, target.file, length);
    }
    length = (int32_t)BytesWritten;
    return ok;
}
