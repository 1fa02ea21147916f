// Stream layer between the LZHUF codec and the chunk transfer: RcBlock framing,
// buffered file/memory input and output, and the two progress callbacks.
//
// One run at a time (module-level state). Before a run the caller states its
// ends with setStreamEnds and, for a compression, XorKey; every run ends by
// restoring the defaults (file source, file target, framed, XorKey 0).
//
// End of an expansion. The bit reader looks up to a few bytes beyond the code
// it decodes, so near the end it asks for input past the stream's last byte.
// The input therefore ends (and reads as zero bits, without a read being made)
// once any of these holds:
//   - a block shorter than 10240 bytes, other than the 10-byte size block, has
//     been delivered: it is the final block, by construction of the format;
//   - a read at a block boundary brings no bytes at all (the source ended);
//   - the expander has produced ExpandedSize bytes.
// Reaching that end is never a failure by itself. The expansion fails only if
// the expander actually consumes a bit beyond the last byte delivered (the
// codes stop short of the expanded size), or on a bad block. So no block that
// still holds codes is withheld, and look-ahead past the end is harmless.
//
// Failures. A bad block (wrong magic, length below 6 or above the bytes read,
// wrong checksum, or a read of 1 to 5 bytes) ends the input as above with the
// error set: the expander still decodes every symbol whose code lies wholly in
// the good blocks before it, and stops at the first that does not. A memory
// target too small for the declared expanded size fails before anything is
// written. A match running past the expanded size is cut there. A failed or
// short write, or a compression source shorter than the size given, fails the
// run as well.
#pragma once

#include <stdint.h>

#include "platform.h"

// Run every 1024 bytes moved and after each block is checked or sealed.
typedef void (*PumpCallbackFn)();
// Given the byte count of each block written to the target.
typedef void (*BytesWrittenHookFn)(uint32_t count);

extern PumpCallbackFn PumpCallback;          // null: skipped
extern BytesWrittenHookFn BytesWrittenHook;  // null: skipped
extern uint32_t BytesWritten;                // bytes written by the last run

// Low byte XORed over every raw read of the next run (0: none).
extern uint16_t XorKey;

// Sets the ends of the next run. inputFromFile: the source argument of the
// entry point is a file handle; otherwise it is a memory address from which at
// most sourceExtent bytes are read. targetMemory: null writes to the target
// file handle; otherwise at most targetExtent bytes are written there.
void setStreamEnds(bool inputFromFile, uint32_t sourceExtent, uint8_t* targetMemory,
                   uint32_t targetExtent);

// Makes the next run read or write the bare codec stream (4-byte size, then the
// codes) instead of RcBlocks. Reset to framed after every run.
void setStreamFraming(bool framed);

// Compresses size bytes from source to target. Returns true when all size
// bytes were read and the whole stream was written; false for a negative size,
// a source that ends early, or a failed, short or overflowing write.
// BytesWritten holds the bytes written (the stored size) either way.
bool compressChunk(const void* source, HANDLE target, int32_t size);

// Expands one compressed chunk from source (positioned at its first block) to
// target. Returns true when every block was good and ExpandedSize bytes were
// produced; false on a bad block, codes that end short, a memory target
// smaller than the expanded size, or a failed or short write. BytesWritten
// holds the bytes delivered, also after a failure.
bool expandChunk(const void* source, HANDLE target);

// Why the last run failed, and where.
enum StreamFaultKind : int32_t {
    FaultNone = 0,
    FaultBadMagic,       // a block does not begin with "RC"
    FaultBadLength,      // length field below 6 or above the bytes read
    FaultBadChecksum,    // payload sum differs from the checksum field
    FaultShortBlock,     // a read brought 1 to 5 bytes
    FaultCodesEnd,       // the codes end before the expanded size
    FaultTargetFull,     // the memory target is smaller than the output
    FaultWriteFailed,    // the target took fewer bytes than given
    FaultSourceShort,    // a compression source ended before its size
};
struct StreamFault {
    StreamFaultKind kind;
    uint32_t offset;  // source offset of the bad block (or of the end of input)
};
// The fault of the last run (kind FaultNone after a success).
StreamFault lastStreamFault();
// A short English description of a fault kind.
const char* streamFaultText(StreamFaultKind kind);
