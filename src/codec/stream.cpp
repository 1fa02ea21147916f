// Stream layer: reads and checks RcBlocks (or bare codes), assembles and seals
// output blocks, bounds memory ends, and calls the progress callbacks.
#include <string.h>

#include "lzhuf.h"
#include "stream_io.h"

StreamState Stream;
PumpCallbackFn PumpCallback;
BytesWrittenHookFn BytesWrittenHook;
uint32_t BytesWritten;
uint16_t XorKey;

namespace {

// The defaults are the zero state, so they hold before the first run too.
void restoreDefaults() {
    Stream.nextInputFromMemory = 0;
    Stream.nextSourceExtent = 0;
    Stream.nextTargetMemory = nullptr;
    Stream.nextTargetExtent = 0;
    Stream.nextUnframed = 0;
    XorKey = 0;
}

// Makes every later read return -1 without reading.
void endInput() {
    Stream.endFlag = 1;
    Stream.readPos = Stream.readEnd = Stream.inBuffer;
}

// Reads up to want bytes into InBuffer; the count read.
uint32_t readSource(uint32_t want) {
    StreamState& S = Stream;
    uint32_t n;
    if (S.inputFromFile) {
        DWORD got = 0;
        ReadFile(S.sourceFile, S.inBuffer, want, &got, nullptr);
        n = got <= want ? got : 0;
    } else {
        n = want < S.sourceExtent ? want : S.sourceExtent;
        if (n) memcpy(S.inBuffer, S.sourceMemory, n);
        S.sourceMemory += n;
        S.sourceExtent -= n;
    }
    S.blockOffset = S.sourceOffset;
    S.sourceOffset += n;
    if (XorKey & 0xFF) {
        const uint8_t k = (uint8_t)XorKey;
        for (uint32_t i = 0; i < n; i++) S.inBuffer[i] ^= k;
    }
    return n;
}

// Checks the block of n bytes just read; the fault found, or FaultNone.
StreamFaultKind checkBlock(uint32_t n) {
    const uint8_t* b = Stream.inBuffer;
    if (n < RcHeaderSize) return FaultShortBlock;
    if ((uint16_t)(b[0] | b[1] << 8) != RcBlockMagic) return FaultBadMagic;
    uint32_t length = (uint32_t)(b[4] | b[5] << 8);
    if (length < RcHeaderSize || length > n) return FaultBadLength;
    if (blockChecksum(b + RcHeaderSize, length - RcHeaderSize) != (uint16_t)(b[2] | b[3] << 8))
        return FaultBadChecksum;
    return FaultNone;
}

// Makes the next input available; false when the input has ended.
bool fillInput() {
    StreamState& S = Stream;
    if (S.endFlag) return false;
    if (S.outputLeft <= 0 || S.inputLeft <= 0 || S.finalBlockRead) {
        endInput();
        return false;
    }
    uint32_t want = (uint32_t)S.readSize;
    if (S.compressing && want > (uint32_t)S.inputLeft) want = (uint32_t)S.inputLeft;
    uint32_t n = readSource(want);
    S.readPos = S.inBuffer;
    S.readEnd = S.inBuffer + n;
    if (S.compressing) {
        S.inputLeft -= (int32_t)n;
        streamPump();
        if (n == 0) {
            streamFail(FaultSourceShort);
            return false;
        }
        return true;
    }
    if (!S.inputFramed) {
        streamPump();
        if (n == 0) {
            endInput();
            return false;
        }
        return true;
    }
    // A framed expansion. An empty read after the size block is the end of
    // the source, not a bad block (see stream.h).
    StreamFaultKind fault = (n == 0 && S.sizeBlockRead) ? FaultNone : checkBlock(n);
    streamPump();
    if (fault != FaultNone) {
        streamFail(fault);
        return false;
    }
    if (n == 0) {
        endInput();
        return false;
    }
    uint32_t length = (uint32_t)(S.inBuffer[4] | S.inBuffer[5] << 8);
    S.readPos = S.inBuffer + RcHeaderSize;
    S.readEnd = S.inBuffer + length;
    if (!S.sizeBlockRead) {
        S.sizeBlockRead = 1;
    } else if (length < RcBlockMaxSize) {
        S.finalBlockRead = 1;
    }
    return true;
}

void sealBlock() {
    StreamState& S = Stream;
    if (S.outputFramed) {
        uint32_t length = (uint32_t)(S.outPos - S.outBuffer);
        uint16_t sum = blockChecksum(S.outBuffer + RcHeaderSize, length - RcHeaderSize);
        S.outBuffer[0] = (uint8_t)RcBlockMagic;
        S.outBuffer[1] = (uint8_t)(RcBlockMagic >> 8);
        S.outBuffer[2] = (uint8_t)sum;
        S.outBuffer[3] = (uint8_t)(sum >> 8);
        S.outBuffer[4] = (uint8_t)length;
        S.outBuffer[5] = (uint8_t)(length >> 8);
    }
    streamPump();
}

// Seals the block in OutBuffer and writes it, never past a memory target.
void flushOutput() {
    StreamState& S = Stream;
    sealBlock();
    uint32_t k = (uint32_t)(S.outPos - S.outBuffer);
    if (S.targetFailed) {
        k = 0;
    } else if (S.targetMemory) {
        uint32_t put = k < S.targetExtent ? k : S.targetExtent;
        if (put) memcpy(S.targetMemory, S.outBuffer, put);
        S.targetMemory += put;
        S.targetExtent -= put;
        BytesWritten += put;
        if (put < k) streamFail(FaultTargetFull);
        k = put;
    } else if (k > 0) {
        DWORD done = 0;
        BOOL ok = WriteFile(S.targetHandle, S.outBuffer, k, &done, nullptr);
        if (done > k) done = 0;
        BytesWritten += done;
        if (!ok || done < k) streamFail(FaultWriteFailed);
        k = done;
    }
    if (BytesWrittenHook) BytesWrittenHook(k);
}

void beginRun(const void* source, HANDLE target, bool compressing) {
    StreamState& S = Stream;
    resetCodecState();
    S.inputFromFile = !S.nextInputFromMemory;
    S.sourceFile = S.inputFromFile ? (HANDLE)source : INVALID_HANDLE_VALUE;
    S.sourceMemory = S.inputFromFile ? nullptr : (const uint8_t*)source;
    S.sourceExtent = S.inputFromFile ? 0 : S.nextSourceExtent;
    S.sourceOffset = S.blockOffset = 0;
    S.targetHandle = target;
    S.targetMemory = S.nextTargetMemory;
    S.targetExtent = S.nextTargetMemory ? S.nextTargetExtent : 0;
    S.compressing = compressing;
    S.inputFramed = !compressing && !S.nextUnframed;
    S.outputFramed = compressing && !S.nextUnframed;
    S.readPos = S.readEnd = S.inBuffer;
    S.errorFlag = S.endFlag = 0;
    S.finalBlockRead = S.sizeBlockRead = 0;
    S.targetFailed = 0;
    S.fault = StreamFault{FaultNone, 0};
    S.bytesSincePump = 0;
    BytesWritten = 0;
}

bool endRun() {
    bool ok = !Stream.errorFlag;
    restoreDefaults();
    return ok;
}

}  // namespace

void streamPump() {
    Stream.bytesSincePump = 0;
    if (PumpCallback) PumpCallback();
}

void streamFail(StreamFaultKind kind) {
    StreamState& S = Stream;
    if (!S.errorFlag) {
        S.fault.kind = kind;
        S.fault.offset = kind == FaultTargetFull || kind == FaultWriteFailed ? BytesWritten
                         : kind == FaultCodesEnd || kind == FaultSourceShort ? S.sourceOffset
                                                                             : S.blockOffset;
    }
    S.errorFlag = 1;
    S.inputLeft = S.outputLeft = 0;
    endInput();
    // A bad block lets the expander finish the symbols already delivered;
    // an output that cannot be written stops it at once.
    if (kind == FaultTargetFull || kind == FaultWriteFailed) {
        S.targetFailed = 1;
        Codec.expandedSize = 0;
    }
}

int streamRefill() {
    for (;;) {
        if (!fillInput()) return -1;
        if (Stream.readPos < Stream.readEnd) return *Stream.readPos++;
    }
}

void streamBlockFull() {
    StreamState& S = Stream;
    int32_t k = (int32_t)(S.outPos - S.outBuffer);
    flushOutput();
    S.outputLeft -= k;
    S.outPos = S.outBuffer + (S.outputFramed ? RcHeaderSize : 0);
}

uint32_t writeExpandedSize() {
    StreamState& S = Stream;
    uint32_t size = (uint32_t)S.inputLeft;
    for (int i = 0; i < 4; i++) writeStreamByte((uint8_t)(size >> (8 * i)));
    S.outEnd = S.outBuffer + RcBlockMaxSize;
    return size;
}

uint32_t readExpandedSize() {
    StreamState& S = Stream;
    uint32_t size = 0;
    bool ended = false;
    for (int i = 0; i < 4; i++) {
        int b = readStreamByte();
        if (b < 0) ended = true;
        size |= (uint32_t)(b & 0xFF) << (8 * i);
    }
    S.readSize = RcBlockMaxSize;
    if (!S.errorFlag && ended) streamFail(FaultCodesEnd);
    if (!S.errorFlag && S.targetMemory && size > S.targetExtent) streamFail(FaultTargetFull);
    if (S.errorFlag) {
        S.outputLeft = 0;
        return 0;
    }
    S.outputLeft = size > (uint32_t)NoLimit ? NoLimit : (int32_t)size;
    return size;
}

void setStreamEnds(bool inputFromFile, uint32_t sourceExtent, uint8_t* targetMemory,
                   uint32_t targetExtent) {
    Stream.nextInputFromMemory = !inputFromFile;
    Stream.nextSourceExtent = sourceExtent;
    Stream.nextTargetMemory = targetMemory;
    Stream.nextTargetExtent = targetExtent;
}

void setStreamFraming(bool framed) { Stream.nextUnframed = !framed; }

bool compressChunk(const void* source, HANDLE target, int32_t size) {
    StreamState& S = Stream;
    beginRun(source, target, true);
    if (size < 0) {
        endRun();
        return false;
    }
    S.inputLeft = size;
    S.outputLeft = NoLimit;
    S.readSize = RcBlockMaxSize;
    S.outPos = S.outBuffer + (S.outputFramed ? RcHeaderSize : 0);
    S.outEnd = S.outputFramed ? S.outBuffer + RcFirstBlockSize : S.outBuffer + RcBlockMaxSize;
    compressStream();
    flushOutput();
    return endRun();
}

bool expandChunk(const void* source, HANDLE target) {
    StreamState& S = Stream;
    beginRun(source, target, false);
    S.inputLeft = S.outputLeft = NoLimit;
    S.readSize = S.inputFramed ? (int32_t)RcFirstBlockSize : (int32_t)RcBlockMaxSize;
    S.outPos = S.outBuffer;
    S.outEnd = S.outBuffer + RcBlockMaxSize;
    expandStream();
    flushOutput();
    return endRun();
}

StreamFault lastStreamFault() { return Stream.fault; }

const char* streamFaultText(StreamFaultKind kind) {
    switch (kind) {
        case FaultNone: return "no fault";
        case FaultBadMagic: return "bad block magic";
        case FaultBadLength: return "bad block length";
        case FaultBadChecksum: return "bad block checksum";
        case FaultShortBlock: return "truncated block";
        case FaultCodesEnd: return "compressed data ends early";
        case FaultTargetFull: return "output larger than its target";
        case FaultWriteFailed: return "write failed";
        case FaultSourceShort: return "input shorter than its size";
    }
    return "unknown fault";
}
