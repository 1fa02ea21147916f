// LZHUF codec: LZSS over a 4096-byte ring with a 60-byte look-ahead; literals
// and match lengths coded with an adaptive Huffman tree, match positions with
// a fixed prefix code for their upper 6 bits and 6 plain bits.
//
// Stream: | expanded size, u32 LE | codes, most significant bit first, last
// byte padded with zero bits; no end marker |
//
// The codec does no I/O: it pulls and pushes bytes through the stream layer
// (stream_io.h). One module-level state, shared by both directions.
#pragma once

#include <stdint.h>

constexpr int RingSize = 4096;
constexpr int LookAhead = 60;
constexpr int MatchThreshold = 2;
constexpr int SymbolCount = 256 - MatchThreshold + LookAhead;  // 314
constexpr int NodeCount = 2 * SymbolCount - 1;                      // 627
constexpr int RootNode = NodeCount - 1;                             // 626
constexpr uint32_t RebuildWeight = 0x8000;
constexpr int Nil = RingSize;
constexpr uint16_t NotLinked = 0xFFFF;  // matchSlot of a position in no tree
constexpr int StartPosition = RingSize - LookAhead;                 // 4036
static_assert(SymbolCount == 314 && NodeCount == 627 && StartPosition == 4036, "constants");

// Ring: positions 0-4095, a mirror of 0-58 at 4096-4154 so that a 60-byte
// string compares without wrapping, then padding so that the match search may
// load 8 bytes at a time past the mirror (those bytes are never counted).
constexpr int RingMirror = LookAhead - 1;                           // 59
constexpr int RingBytes = RingSize + RingMirror + 16;

// One node of the adaptive Huffman tree. child: for an internal node the
// first of its two children (the second is child + 1); for a leaf 627 + its
// symbol.
struct HuffmanNode {
    uint16_t weight;
    uint16_t parent;  // the root's is 0
    uint16_t child;
    uint16_t depth;   // levels below the root: the length of pathCode
};

struct LzhufCodec {
    uint8_t ring[RingBytes];
    uint16_t matchLink[RingSize + 1 + 256][2];  // left, right; 4097 + b: root of b's tree
    uint16_t matchSlot[RingSize + 1];  // the link (2x + side) that leads to x; [4096] takes the writes for Nil
    uint16_t matchPosition;
    uint16_t matchLength;
    HuffmanNode node[NodeCount + 1];  // [627]: sentinel of weight 0xFFFF
    uint16_t leafOf[SymbolCount];     // the leaf node of each symbol
    uint32_t pathCode[NodeCount];     // each node's path from the root, left-aligned
    uint32_t getBuffer;               // buffered input bits, left-aligned
    uint32_t getCount;
    uint32_t expandedSize;
    uint32_t longestCode;  // deepest code over 16 bits written by the last compression, or 0
};
extern LzhufCodec Codec;

// Clears ExpandedSize and the bit buffers; run before each stream.
void resetCodecState();
// Compresses the stream layer's whole input to its output.
void compressStream();
// Expands the whole stream; the stream layer judges success.
void expandStream();
// Ring positions 4036 onward outlive a run and may steer which of several
// equal matches the next compression picks. Zeroes them, as in a fresh
// process; for tests that check exact bytes.
void clearCodecRing();
