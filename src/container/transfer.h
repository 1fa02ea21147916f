// Moves one chunk's bytes from a file or memory to a file or memory: expanded,
// compressed, or copied in blocks with an optional XOR key byte.
#pragma once

#include "format.h"
#include "platform.h"

// One end of a transfer. A file end is a handle that the caller has positioned
// at the first byte. A memory end is a pointer and the number of bytes that may
// be read from it (source) or written to it (target); no transfer passes it.
struct TransferEnd {
    HANDLE file;
    uint8_t* memory;   // used when the flags say MemorySource / MemoryTarget
    uint32_t extent;   // bytes available at memory
};

inline TransferEnd fileEnd(HANDLE h) { return TransferEnd{h, nullptr, 0}; }
inline TransferEnd memoryEnd(void* p, uint32_t extent) {
    return TransferEnd{INVALID_HANDLE_VALUE, (uint8_t*)p, extent};
}

// Moves a chunk. length: in, source bytes to take (ignored by an expansion,
// which reads its stream to the end); out, bytes written to the target, also
// after a failure. Returns true when every byte was moved and every block was
// good; false on a short read or write, a bad block, a negative length, or a
// memory target too small for the result (nothing is written past its extent;
// a plain copy fills it, an expansion whose declared size exceeds it writes
// nothing). A compression or expansion fails as the stream layer says
// (stream.h, lastStreamFault).
bool transferChunk(TransferEnd source, TransferEnd target, int32_t& length, TransferFlags flags);

// XORs every byte with the low 8 bits of key.
void xorBytes(uint8_t* buffer, uint32_t length, uint32_t key);
