// The writer's data operations: copying chunks from the reader, adding a
// chunk from memory, and numbered series of chunks.
#include "file_io.h"
#include "reader.h"
#include "transfer.h"
#include "writer.h"

namespace {

bool latchResult(bool ok) {
    if (!ok && ErrorLatchEnabled) ErrorLatch = true;
    return ok;
}

bool writerOpen() { return Writer.handle != INVALID_HANDLE_VALUE; }

// Fits a copy request to the source entry. Unscramble survives only in a plain
// copy, where it turns into the source's key byte.
TransferFlags fitRequest(const DirectoryEntry* e, TransferFlags request) {
    TransferFlags f = request & (FlagCompress | FlagExpand | FlagUnscramble);
    const bool compressed = e->storage == StorageCompressed;
    if (!compressed && (f & FlagExpand))
        f &= ~FlagExpand;
    else if (compressed && (f & FlagCompress))
        f &= ~FlagCompress;
    if (f & (FlagCompress | FlagExpand)) {
        f &= ~FlagUnscramble;
        if (f & FlagCompress) f |= e->xorKey;  // unscrambled on its way into the compressor
    } else if (!compressed && e->xorKey && (f & FlagUnscramble)) {
        f |= e->xorKey;  // the target gets plain bytes
    }
    return f;
}

// The new entry's flags, from what the transfer did: compressed bytes carry
// no key; expanded bytes are plain; a plain copy of a compressed source keeps
// the source's record as it is; any other plain copy holds the source's bytes
// XORed with the key byte used.
TransferFlags recordedFlags(const DirectoryEntry* e, TransferFlags f) {
    if (f & FlagExpand) return 0;
    if (f & FlagCompress) return FlagCompress;
    if (e->storage == StorageCompressed) return FlagCompress | e->xorKey;
    return (e->xorKey ^ f) & FlagKeyMask;
}

}  // namespace

// Requests the installer never makes:
// - a key byte in the request is refused (false, latched, nothing written):
//   it would be dropped by an expansion and overridden in a plain copy of a
//   scrambled source, so no single meaning fits every row;
// - Unscramble alone on a compressed source copies the compressed bytes as
//   they are and records the new entry as Compressed, which is what they are
//   (compressed data is never scrambled, so nothing is left to unscramble).
bool copyChunk(const char* name, TransferFlags request) {
    if (ErrorLatch) return false;
    const DirectoryEntry* e = nullptr;
    if (readerHandle() != INVALID_HANDLE_VALUE && writerOpen() && nextFreeEntry() &&
        !(request & FlagKeyMask))
        e = findEntry(name, MatchStored);
    if (!e || !seekTo(readerHandle(), le32(e->dataOffset))) return latchResult(false);

    const uint32_t offsetBefore = Writer.dataOffset;
    const TransferFlags f = fitRequest(e, request);
    int32_t length = (int32_t)le32(e->storedSize);
    bool ok = transferChunk(fileEnd(readerHandle()), fileEnd(Writer.handle), length,
                            f & (FlagKeyMask | FlagCompress | FlagExpand));
    if (length > 0) Writer.dataOffset += (uint32_t)length;
    if (ok)
        appendEntry(name, recordedFlags(e, f), (uint32_t)(length > 0 ? length : 0),
                    le32(e->plainSize), offsetBefore, (int32_t)le32(e->markerOffset));
    return latchResult(ok);
}

// With Compress a key byte is XORed over the source before compressing (as in
// copyChunk) and the entry is recorded as Compressed with xorKey 0: expanding
// it gives exactly the bytes the compressor saw. With Expand the source is a
// compressed stream and the entry records the expanded bytes, plain.
bool addChunkFromMemory(const void* data, int32_t length, const char* name, TransferFlags flags) {
    if (ErrorLatch || !writerOpen() || !nextFreeEntry()) return false;
    const uint32_t offsetBefore = Writer.dataOffset;
    const TransferFlags f = flags & (FlagKeyMask | FlagCompress | FlagExpand);
    int32_t written = length;
    bool ok = length >= 0 && (data || length == 0) &&
              transferChunk(memoryEnd((void*)data, (uint32_t)length), fileEnd(Writer.handle),
                            written, f | FlagMemorySource);
    if (length < 0) written = 0;
    if (written > 0) Writer.dataOffset += (uint32_t)written;
    if (ok) {
        const uint32_t stored = (uint32_t)(written > 0 ? written : 0);
        if (f & FlagExpand)
            appendEntry(name, 0, stored, stored, offsetBefore, -1);
        else if (f & FlagCompress)
            appendEntry(name, FlagCompress, stored, (uint32_t)length, offsetBefore, -1);
        else
            appendEntry(name, f, stored, (uint32_t)length, offsetBefore, -1);
    }
    return latchResult(ok);
}

void copyNumberedChunks(const char* baseName) {
    const bool saved = ErrorLatch;
    if (copyChunk(baseName, 0)) {
        char name[64];
        uint32_t base = 0;
        while (baseName[base] && base < sizeof name - 12) {
            name[base] = baseName[base];
            base++;
        }
        for (uint32_t i = 1;; i++) {
            // "%s%02d": at least two digits.
            char digits[10];
            uint32_t n = 0;
            for (uint32_t v = i; v || n < 2; v /= 10) digits[n++] = (char)('0' + v % 10);
            for (uint32_t d = 0; d < n; d++) name[base + d] = digits[n - 1 - d];
            name[base + n] = 0;
            if (!copyChunk(name, 0)) break;
        }
    }
    ErrorLatch = saved;
}
