// LZHUF codec: match trees, adaptive Huffman tree, position prefix code, bit
// writer and reader, and the two stream loops.
#include "lzhuf.h"

#include <string.h>

#include "stream_io.h"

LzhufCodec Codec;

namespace {

// Position prefix code: the upper 6 bits u of a position in a canonical code
// of 3 to 8 bits, then the lower 6 bits plainly.
struct PositionTables {
    uint8_t codeLength[64];
    uint8_t code[64];          // left-aligned in a byte
    uint8_t prefixHigh[256];   // u whose code begins byte b
    uint8_t prefixLength[256]; // length of that code
};

constexpr PositionTables makePositionTables() {
    PositionTables t{};
    uint32_t code = 0, length = 3;
    for (uint32_t u = 0; u < 64; u++) {
        uint32_t want = u < 1 ? 3 : u < 4 ? 4 : u < 12 ? 5 : u < 24 ? 6 : u < 48 ? 7 : 8;
        if (u > 0) code = (code + 1) << (want - length);
        length = want;
        t.codeLength[u] = (uint8_t)length;
        t.code[u] = (uint8_t)(code << (8 - length));
        for (uint32_t b = 0; b < (1u << (8 - length)); b++) {
            t.prefixHigh[t.code[u] + b] = (uint8_t)u;
            t.prefixLength[t.code[u] + b] = (uint8_t)length;
        }
    }
    return t;
}
constexpr PositionTables Positions = makePositionTables();
static_assert(Positions.code[1] == 0x20 && Positions.code[5] == 0x58 && Positions.code[13] == 0x94 &&
                  Positions.code[25] == 0xC2 && Positions.code[47] == 0xEE &&
                  Positions.code[63] == 0xFF && Positions.prefixHigh[0x1F] == 0 &&
                  Positions.prefixLength[0xFF] == 8,
              "position code");

// ---- Adaptive Huffman tree -------------------------------------------------

void resetHuffmanTree() {
    LzhufCodec& c = Codec;
    for (int s = 0; s < SymbolCount; s++) {
        c.weight[s] = 1;
        c.child[s] = (uint16_t)(NodeCount + s);
        c.parent[NodeCount + s] = (uint16_t)s;
    }
    for (int i = 0, j = SymbolCount; j < NodeCount; i += 2, j++) {
        c.weight[j] = (uint16_t)(c.weight[i] + c.weight[i + 1]);
        c.child[j] = (uint16_t)i;
        c.parent[i] = c.parent[i + 1] = (uint16_t)j;
    }
    c.weight[NodeCount] = 0xFFFF;
    c.parent[RootNode] = 0;
}

// Halves the weights and builds the tree anew from the leaves.
void rebuildHuffmanTree() {
    LzhufCodec& c = Codec;
    int j = 0;
    for (int i = 0; i < NodeCount; i++) {
        if (c.child[i] >= NodeCount) {
            c.weight[j] = (uint16_t)((c.weight[i] + 1) / 2);
            c.child[j] = c.child[i];
            j++;
        }
    }
    for (int i = 0, j = SymbolCount; j < NodeCount; i += 2, j++) {
        uint16_t f = (uint16_t)(c.weight[i] + c.weight[i + 1]);
        int k = j - 1;
        while (f < c.weight[k]) k--;
        k++;
        memmove(&c.weight[k + 1], &c.weight[k], (size_t)(j - k) * sizeof c.weight[0]);
        memmove(&c.child[k + 1], &c.child[k], (size_t)(j - k) * sizeof c.child[0]);
        c.weight[k] = f;
        c.child[k] = (uint16_t)i;
    }
    for (int i = 0; i < NodeCount; i++) {
        int k = c.child[i];
        if (k >= NodeCount) {
            c.parent[k] = (uint16_t)i;
        } else {
            c.parent[k] = c.parent[k + 1] = (uint16_t)i;
        }
    }
}

// Counts symbol s, keeping the sibling property by exchanging nodes.
void updateHuffmanTree(int s) {
    LzhufCodec& c = Codec;
    if (c.weight[RootNode] == RebuildWeight) rebuildHuffmanTree();
    int x = c.parent[NodeCount + s];
    do {
        uint16_t k = ++c.weight[x];
        if (k > c.weight[x + 1]) {
            int l = x + 1;
            while (k > c.weight[l + 1]) l++;
            c.weight[x] = c.weight[l];
            c.weight[l] = k;
            int i = c.child[x];
            c.parent[i] = (uint16_t)l;
            if (i < NodeCount) c.parent[i + 1] = (uint16_t)l;
            int j = c.child[l];
            c.child[l] = (uint16_t)i;
            c.parent[j] = (uint16_t)x;
            if (j < NodeCount) c.parent[j + 1] = (uint16_t)x;
            c.child[x] = (uint16_t)j;
            x = l;
        }
        x = c.parent[x];
    } while (x != 0);
}

// ---- Bits -------------------------------------------------------------------

// Appends the top n bits of bits (n <= 24).
inline void writeBits(uint32_t n, uint32_t bits) {
    LzhufCodec& c = Codec;
    c.putBuffer |= bits >> c.putCount;
    c.putCount += n;
    while (c.putCount >= 8) {
        writeStreamByte((uint8_t)(c.putBuffer >> 24));
        c.putBuffer <<= 8;
        c.putCount -= 8;
    }
}

void flushBits() {
    if (Codec.putCount > 0) writeStreamByte((uint8_t)(Codec.putBuffer >> 24));
}

// The symbol's path from the root. A tree whose root weighs at most 0x8000 is
// at most 21 levels deep (a Huffman tree of depth d weighs at least the
// (d+2)-th Fibonacci number), so a 32-bit code word holds every path; codes
// deeper than 16 levels are written whole, not cut to 16 bits.
void writeSymbol(int s) {
    LzhufCodec& c = Codec;
    uint32_t code = 0, count = 0;
    int x = c.parent[NodeCount + s];
    do {
        code >>= 1;
        if (x & 1) code |= 0x80000000u;
        count++;
        x = c.parent[x];
    } while (x != RootNode);
    if (count > c.longestCode) c.longestCode = count;
    if (count > 24) {
        writeBits(16, code);
        code <<= 16;
        count -= 16;
    }
    writeBits(count, code);
    updateHuffmanTree(s);
}

void writePosition(uint32_t p) {
    uint32_t u = p >> 6;
    writeBits(Positions.codeLength[u], (uint32_t)Positions.code[u] << 24);
    writeBits(6, (p & 0x3F) << 26);
}

// Bits still to consume that were never delivered (zero bits after the end).
uint32_t PhantomBits;

inline void refillBits() {
    LzhufCodec& c = Codec;
    while (c.getCount <= 24) {
        int b = readStreamByte();
        if (b < 0) {
            b = 0;
            PhantomBits += 8;
        }
        c.getBuffer |= (uint32_t)b << (24 - c.getCount);
        c.getCount += 8;
    }
}

inline uint32_t readBit() {
    refillBits();
    uint32_t bit = Codec.getBuffer >> 31;
    Codec.getBuffer <<= 1;
    Codec.getCount--;
    return bit;
}

inline uint32_t readEightBits() {
    refillBits();
    uint32_t b = Codec.getBuffer >> 24;
    Codec.getBuffer <<= 8;
    Codec.getCount -= 8;
    return b;
}

int readSymbol() {
    int x = Codec.child[RootNode];
    while (x < NodeCount) x = Codec.child[x + readBit()];
    x -= NodeCount;
    updateHuffmanTree(x);
    return x;
}

uint32_t readPosition() {
    uint32_t b = readEightBits();
    uint32_t high = Positions.prefixHigh[b];
    for (int n = Positions.prefixLength[b] - 2; n > 0; n--) b = (b << 1) + readBit();
    return (high << 6) | (b & 0x3F);
}

// ---- Match trees ------------------------------------------------------------

void resetMatchTrees() {
    for (int i = RingSize + 1; i <= RingSize + 256; i++) Codec.matchRight[i] = Nil;
    for (int i = 0; i < RingSize; i++) Codec.matchParent[i] = Nil;
}

// Enters the string at ring position r into its tree and finds the longest
// (of equals, the nearest) earlier string matching it.
void insertPosition(int r) {
    LzhufCodec& c = Codec;
    const uint8_t* key = &c.ring[r];
    int d = 1;
    int p = RingSize + 1 + key[0];
    c.matchLeft[r] = c.matchRight[r] = Nil;
    c.matchLength = 0;
    for (;;) {
        if (d >= 0) {
            if (c.matchRight[p] == Nil) {
                c.matchRight[p] = (uint16_t)r;
                c.matchParent[r] = (uint16_t)p;
                return;
            }
            p = c.matchRight[p];
        } else {
            if (c.matchLeft[p] == Nil) {
                c.matchLeft[p] = (uint16_t)r;
                c.matchParent[r] = (uint16_t)p;
                return;
            }
            p = c.matchLeft[p];
        }
        int i;
        d = 0;
        for (i = 1; i < LookAhead; i++) {
            d = key[i] - c.ring[p + i];
            if (d != 0) break;
        }
        if (i > MatchThreshold) {
            uint16_t e = (uint16_t)(((r - p) & (RingSize - 1)) - 1);
            if (i > c.matchLength) {
                c.matchPosition = e;
                c.matchLength = (uint16_t)i;
                if (i >= LookAhead) break;
            } else if (i == c.matchLength && e < c.matchPosition) {
                c.matchPosition = e;
            }
        }
    }
    // A full-length match: r takes p's place, so the newest copy stays.
    c.matchParent[r] = c.matchParent[p];
    c.matchLeft[r] = c.matchLeft[p];
    c.matchRight[r] = c.matchRight[p];
    c.matchParent[c.matchLeft[p]] = (uint16_t)r;
    c.matchParent[c.matchRight[p]] = (uint16_t)r;
    int q = c.matchParent[p];
    if (c.matchRight[q] == p) {
        c.matchRight[q] = (uint16_t)r;
    } else {
        c.matchLeft[q] = (uint16_t)r;
    }
    c.matchParent[p] = Nil;
}

void removePosition(int p) {
    LzhufCodec& c = Codec;
    if (c.matchParent[p] == Nil) return;
    int q;
    if (c.matchRight[p] == Nil) {
        q = c.matchLeft[p];
    } else if (c.matchLeft[p] == Nil) {
        q = c.matchRight[p];
    } else {
        q = c.matchLeft[p];
        if (c.matchRight[q] != Nil) {
            do q = c.matchRight[q];
            while (c.matchRight[q] != Nil);
            c.matchRight[c.matchParent[q]] = c.matchLeft[q];
            c.matchParent[c.matchLeft[q]] = c.matchParent[q];
            c.matchLeft[q] = c.matchLeft[p];
            c.matchParent[c.matchLeft[p]] = (uint16_t)q;
        }
        c.matchRight[q] = c.matchRight[p];
        c.matchParent[c.matchRight[p]] = (uint16_t)q;
    }
    c.matchParent[q] = c.matchParent[p];
    int pp = c.matchParent[p];
    if (c.matchRight[pp] == p) {
        c.matchRight[pp] = (uint16_t)q;
    } else {
        c.matchLeft[pp] = (uint16_t)q;
    }
    c.matchParent[p] = Nil;
}

}  // namespace

void resetCodecState() {
    Codec.expandedSize = 0;
    Codec.putBuffer = Codec.putCount = 0;
    Codec.getBuffer = Codec.getCount = 0;
    Codec.longestCode = 0;
    PhantomBits = 0;
}

void clearCodecRing() { memset(Codec.ring, 0, sizeof Codec.ring); }

void compressStream() {
    LzhufCodec& c = Codec;
    if (writeExpandedSize() == 0) return;
    resetHuffmanTree();
    resetMatchTrees();
    memset(c.ring, ' ', StartPosition);
    int s = 0, r = StartPosition, len = 0;
    while (len < LookAhead) {
        int b = readStreamByte();
        if (b < 0) break;
        c.ring[r + len++] = (uint8_t)b;
    }
    for (int i = 1; i <= LookAhead; i++) insertPosition(r - i);
    insertPosition(r);
    while (len > 0) {
        if (c.matchLength > len) c.matchLength = (uint16_t)len;
        if (c.matchLength <= MatchThreshold) {
            c.matchLength = 1;
            writeSymbol(c.ring[r]);
        } else {
            writeSymbol(255 - MatchThreshold + c.matchLength);
            writePosition(c.matchPosition);
        }
        int last = c.matchLength, i = 0;
        for (; i < last; i++) {
            int b = readStreamByte();
            if (b < 0) break;
            removePosition(s);
            c.ring[s] = (uint8_t)b;
            if (s < RingMirror) c.ring[s + RingSize] = (uint8_t)b;
            s = (s + 1) & (RingSize - 1);
            r = (r + 1) & (RingSize - 1);
            insertPosition(r);
        }
        for (; i < last; i++) {
            removePosition(s);
            s = (s + 1) & (RingSize - 1);
            r = (r + 1) & (RingSize - 1);
            if (--len) insertPosition(r);
        }
    }
    flushBits();
}

void expandStream() {
    LzhufCodec& c = Codec;
    const uint32_t size = readExpandedSize();
    c.expandedSize = size;
    if (size == 0) return;
    resetHuffmanTree();
    memset(c.ring, ' ', StartPosition);
    uint32_t r = StartPosition, count = 0;
    while (count < c.expandedSize) {
        int y = readSymbol();
        if (y < 256) {
            if (PhantomBits > c.getCount) break;
            writeStreamByte((uint8_t)y);
            c.ring[r] = (uint8_t)y;
            r = (r + 1) & (RingSize - 1);
            count++;
        } else {
            uint32_t i = (r - readPosition() - 1) & (RingSize - 1);
            if (PhantomBits > c.getCount) break;
            uint32_t n = (uint32_t)y - (255 - MatchThreshold);
            if (n > size - count) n = size - count;  // a match past the end is cut
            count += n;
            while (n--) {
                uint8_t b = c.ring[i];
                writeStreamByte(b);
                c.ring[r] = b;
                r = (r + 1) & (RingSize - 1);
                i = (i + 1) & (RingSize - 1);
            }
        }
    }
    if (PhantomBits > c.getCount) streamFail(FaultCodesEnd);
}
