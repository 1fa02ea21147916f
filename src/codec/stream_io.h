// The stream layer's state and the byte operations the codec runs through it.
// Private to src/codec: the fast paths are inline so the codec's per-byte work
// stays a pointer comparison and a counter.
#pragma once

// Forced inlining of the hot paths pays in speed; the installer, built for
// size, leaves the choice to the compiler.
#ifdef SS_COMPACT
#define SS_HOT inline
#else
#define SS_HOT inline __attribute__((always_inline))
#endif

// The codec's two innermost walks have x86-64 versions scheduled by hand;
// builds for size and the portable test build (SS_PORTABLE_CODEC) use the
// plain loops, which give the same bytes.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(SS_COMPACT) && !defined(SS_PORTABLE_CODEC)
#define SS_CODEC_X86_64 1
#endif

#include <stdint.h>

#include "platform.h"
#include "rcblock.h"
#include "stream.h"

constexpr uint32_t InBufferSize = 16384;
constexpr int32_t NoLimit = 0x7FFFFFFF;
constexpr int32_t PumpInterval = 1024;

struct StreamState {
    // Fast-path fields first.
    const uint8_t* readPos;
    const uint8_t* readEnd;
    uint8_t* outPos;
    uint8_t* outEnd;
    int32_t bytesSincePump;

    HANDLE sourceFile;
    const uint8_t* sourceMemory;  // advances with each read
    uint32_t sourceExtent;        // bytes left at sourceMemory
    uint32_t sourceOffset;        // source bytes taken by the run so far
    uint32_t blockOffset;         // source offset of the last read
    HANDLE targetHandle;
    uint8_t* targetMemory;        // null: write to targetHandle
    uint32_t targetExtent;        // bytes left at targetMemory
    int32_t inputFromFile;
    int32_t inputFramed;
    int32_t outputFramed;
    int32_t compressing;
    int32_t readSize;
    int32_t inputLeft;
    int32_t outputLeft;
    int32_t errorFlag;
    int32_t endFlag;
    int32_t finalBlockRead;       // a short code block was delivered
    int32_t sizeBlockRead;        // the first (size) block was delivered
    int32_t targetFailed;         // stop writing: the target refused bytes
    StreamFault fault;

    // The next run's settings (setStreamEnds, setStreamFraming); all zero
    // is the default: file source, file target, framed.
    int32_t nextInputFromMemory;
    uint32_t nextSourceExtent;
    uint8_t* nextTargetMemory;
    uint32_t nextTargetExtent;
    int32_t nextUnframed;

    uint8_t inBuffer[InBufferSize];
    uint8_t outBuffer[RcBlockMaxSize];
};
extern StreamState Stream;

// Slow paths.
void streamPump();
int streamRefill();           // the next byte after a new read, or -1
void streamBlockFull();       // OutBuffer is full: seal, write, start the next
// Records the first fault of the run, sets the error, and ends the input.
void streamFail(StreamFaultKind kind);

// The next input byte (0-255), or -1 once the input has ended.
SS_HOT int readStreamByte() {
    const uint8_t* const at = Stream.readPos;
    if (at < Stream.readEnd) {
        Stream.readPos = at + 1;
        const uint8_t byte = *at;
        if (++Stream.bytesSincePump == PumpInterval) streamPump();
        return byte;
    }
    return streamRefill();
}

// Appends one output byte; a full block is sealed and written.
SS_HOT void writeStreamByte(uint8_t byte) {
    *Stream.outPos++ = byte;
    if (Stream.outPos < Stream.outEnd) {
        if (++Stream.bytesSincePump == PumpInterval) streamPump();
    } else {
        streamBlockFull();
    }
}

// Appends four output bytes, the highest first: as four writeStreamByte
// calls, at once when none of them fills the block or trips the pump.
SS_HOT void writeStreamWord(uint32_t bytes) {
    if (Stream.outEnd - Stream.outPos > 4 && Stream.bytesSincePump < PumpInterval - 4) {
        uint8_t* const out = Stream.outPos;
#if !defined(__BYTE_ORDER__) || __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        const uint32_t highFirst = __builtin_bswap32(bytes);
        __builtin_memcpy(out, &highFirst, 4);
#else
        __builtin_memcpy(out, &bytes, 4);
#endif
        Stream.outPos = out + 4;
        Stream.bytesSincePump += 4;
    } else {
        for (int i = 24; i >= 0; i -= 8) writeStreamByte((uint8_t)(bytes >> i));
    }
}

// Writes the 4 size bytes (the size given to the compression) and returns it.
uint32_t writeExpandedSize();
// Reads the 4 size bytes; the size, or 0 after a bad block or when a memory
// target cannot hold it.
uint32_t readExpandedSize();
