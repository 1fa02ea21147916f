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

// Counts symbol s, keeping the sibling property by exchanging nodes. Nodes x
// to l all weigh k - 1 when x is exchanged with l, so the exchange leaves
// weight[x] as it was and gives weight[l] the new count.
inline __attribute__((always_inline)) void updateHuffmanTree(size_t s) {
    LzhufCodec& c = Codec;
    uint16_t* const weight = c.weight;
    uint16_t* const child = c.child;
    uint16_t* const parent = c.parent;
    if (weight[RootNode] == RebuildWeight) rebuildHuffmanTree();
    size_t x = parent[NodeCount + s];
    do {
        uint16_t* const w = weight + x;
        const uint16_t k = (uint16_t)(*w + 1);
        if (__builtin_expect(k > w[1], 0)) {
            size_t l = x + 1;
            while (k > weight[l + 1]) l++;
            weight[l] = (uint16_t)k;
            const size_t i = child[x];
            parent[i] = (uint16_t)l;
            if (i < NodeCount) parent[i + 1] = (uint16_t)l;
            const size_t j = child[l];
            child[l] = (uint16_t)i;
            parent[j] = (uint16_t)x;
            if (j < NodeCount) parent[j + 1] = (uint16_t)x;
            child[x] = (uint16_t)j;
            x = l;
        } else {
            *w = (uint16_t)k;
        }
        x = parent[x];
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
__attribute__((noinline)) void writeSymbol(size_t s) {
    LzhufCodec& c = Codec;
    const uint16_t* const parent = c.parent;
    uint32_t code = 0, count = 0;
    size_t x = parent[NodeCount + s];
    do {
        code = (code >> 1) | (uint32_t)x << 31;  // x odd: bit 1
        count++;
        x = parent[x];
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
//
// matchLink[x][0] and [x][1] are the left and right links of node x (a ring
// position, or 4097 + b for the root of byte b's tree, which uses its right
// link only).

void resetMatchTrees() {
    for (int i = RingSize + 1; i <= RingSize + 256; i++) Codec.matchLink[i][1] = Nil;
    for (int i = 0; i < RingSize; i++) Codec.matchParent[i] = Nil;
}

// A word of ring bytes whose integer order is the order of its bytes as
// unsigned values compared from the first (the lowest address) on.
typedef uintptr_t Word;
constexpr int WordBytes = (int)sizeof(Word);
inline Word orderedWord(const uint8_t* p) {
    Word w;
    memcpy(&w, p, sizeof w);
#if !defined(__BYTE_ORDER__) || __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    if (sizeof(Word) == 8) return (Word)__builtin_bswap64((uint64_t)w);
    return (Word)__builtin_bswap32((uint32_t)w);
#else
    return w;
#endif
}
// Leading equal bytes of two different ordered words.
inline int equalBytes(Word x) {
    return sizeof(Word) == 8 ? __builtin_clzll((unsigned long long)x) / 8
                             : __builtin_clz((unsigned)x) / 8;
}
// Bytes 1-59 are compared; the last word may reach past byte 59 into the
// ring's padding, where a difference counts as none.
static_assert(RingSize - 1 + 1 + ((LookAhead - 2) / WordBytes) * WordBytes + WordBytes <=
                  RingBytes,
              "the last word of a comparison stays inside the ring");

// Compares the strings at a and b from byte `from` (their earlier bytes being
// equal): the index of the first difference, 60 when there is none; dir
// becomes 1 when a's byte there is the greater or none differs, else 0.
inline int compareTail(const uint8_t* a, const uint8_t* b, int from, int& dir) {
    for (int i = from; i < LookAhead; i += WordBytes) {
        Word wa = orderedWord(a + i), wb = orderedWord(b + i);
        if (wa != wb) {
            int j = i + equalBytes(wa ^ wb);
            if (j >= LookAhead) break;
            dir = wa > wb;
            return j;
        }
    }
    dir = 1;
    return LookAhead;
}

inline Word loadWord(const uint8_t* p) {
    Word w;
    memcpy(&w, p, sizeof w);
    return w;
}
// The bits of a loaded word that hold its first two bytes.
#if !defined(__BYTE_ORDER__) || __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
constexpr Word FirstTwoBytes = 0xFFFF;
#else
constexpr Word FirstTwoBytes = (Word)0xFFFF << (8 * WordBytes - 16);
#endif

// Enters the string at ring position r into its tree and finds the longest
// (of equals, the nearest) earlier string matching it on the way down. Most
// nodes differ from the key within bytes 1-2, so a node costs one word load:
// equal words or a difference past byte 2 take the longer path.
inline __attribute__((always_inline)) void insertPosition(int r) {
    LzhufCodec& c = Codec;
    const uint8_t* const ring = c.ring;
    uint16_t* const link = &c.matchLink[0][0];  // node x: [2x] left, [2x + 1] right
    const uint8_t* const key = ring + r;
    const Word keyWord = loadWord(key + 1);  // bytes 1 to WordBytes
    const Word keyOrdered = orderedWord(key + 1);
    link[2 * r] = link[2 * r + 1] = Nil;
    const size_t newer = (size_t)r - 1;
    size_t at = 2 * (RingSize + 1 + (size_t)key[0]) + 1;  // link followed next
    size_t p = 0;
    int best = 0;
    uint16_t bestPosition = c.matchPosition;
    for (;;) {
        const size_t next = link[at];
        if (next == Nil) {
            link[at] = (uint16_t)r;
            c.matchParent[r] = (uint16_t)(at / 2);
            c.matchLength = (uint16_t)best;
            c.matchPosition = bestPosition;
            return;
        }
        p = next;
        const Word w = loadWord(ring + p + 1);
        if ((w ^ keyWord) & FirstTwoBytes) {
            at = 2 * p + (keyOrdered > orderedWord(ring + p + 1));
            continue;
        }
        int i;
        if (w != keyWord) {
            const Word ordered = orderedWord(ring + p + 1);
            at = 2 * p + (keyOrdered > ordered);
            i = 1 + equalBytes(keyOrdered ^ ordered);
        } else {
            int d;
            i = compareTail(key, ring + p, 1 + WordBytes, d);
            at = 2 * p + (size_t)d;
        }
        if (i >= best) {
            const uint16_t e = (uint16_t)((newer - p) & (RingSize - 1));
            if (i > best) {
                bestPosition = e;
                best = i;
                if (i >= LookAhead) break;
            } else if (e < bestPosition) {
                bestPosition = e;
            }
        }
    }
    c.matchLength = (uint16_t)best;
    c.matchPosition = bestPosition;
    // A full-length match: r takes p's place, so the newest copy stays.
    const size_t left = link[2 * p], right = link[2 * p + 1], up = c.matchParent[p];
    c.matchParent[r] = (uint16_t)up;
    link[2 * r] = (uint16_t)left;
    link[2 * r + 1] = (uint16_t)right;
    c.matchParent[left] = (uint16_t)r;
    c.matchParent[right] = (uint16_t)r;
    link[2 * up + (link[2 * up + 1] == p)] = (uint16_t)r;
    c.matchParent[p] = Nil;
}

void removePosition(int p) {
    LzhufCodec& c = Codec;
    uint16_t(*const link)[2] = c.matchLink;
    uint16_t* const parent = c.matchParent;
    if (parent[p] == Nil) return;
    int q;
    if (link[p][1] == Nil) {
        q = link[p][0];
    } else if (link[p][0] == Nil) {
        q = link[p][1];
    } else {
        q = link[p][0];
        if (link[q][1] != Nil) {
            do q = link[q][1];
            while (link[q][1] != Nil);
            link[parent[q]][1] = link[q][0];
            parent[link[q][0]] = parent[q];
            link[q][0] = link[p][0];
            parent[link[p][0]] = (uint16_t)q;
        }
        link[q][1] = link[p][1];
        parent[link[p][1]] = (uint16_t)q;
    }
    const int up = parent[p];
    parent[q] = (uint16_t)up;
    link[up][link[up][1] == p] = (uint16_t)q;
    parent[p] = Nil;
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
