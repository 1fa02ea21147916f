// LZHUF codec: match trees, adaptive Huffman tree, position prefix code, bit
// writer and reader, and the two stream loops.
#include "lzhuf.h"

#include <stddef.h>
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
//
// The compressor needs each symbol's path from the root. Rather than walk
// from the leaf up for every symbol, every node keeps its path (pathCode,
// depth): an exchange of two nodes moves only the subtrees below them, whose
// paths are then written anew (a node or two per symbol on typical data).

// Sets the path of node p from its parent's.
SS_HOT void setPath(size_t p, size_t parent) {
    LzhufCodec& c = Codec;
    const uint32_t depth = c.node[parent].depth;
    // A tree is at most 21 levels deep (see writeSymbol); the mask only keeps
    // the shift defined.
    c.pathCode[p] = c.pathCode[parent] | (uint32_t)(p & 1) << ((31 - depth) & 31);
    c.node[p].depth = (uint16_t)(depth + 1);
}

// Writes the paths of the subtree below node p anew, depth first. The stack
// holds a pending node per level at most (21 levels at most, see
// writeSymbol); its 8-bit index could not pass its end even if that failed.
__attribute__((noinline)) void setPathsBelow(size_t p) {
    LzhufCodec& c = Codec;
    HuffmanNode* const node = c.node;
    uint16_t pending[256];
    uint8_t top = 0;
    for (;;) {
        const size_t first = node[p].child;
        const uint32_t depth = node[p].depth, code = c.pathCode[p];
        c.pathCode[first] = code;
        c.pathCode[first + 1] = code | 0x80000000u >> (depth & 31);
        node[first].depth = node[first + 1].depth = (uint16_t)(depth + 1);
        if (node[first].child < NodeCount) pending[top++] = (uint16_t)first;
        if (node[first + 1].child < NodeCount) pending[top++] = (uint16_t)(first + 1);
        if (top == 0) return;
        p = pending[--top];
    }
}

// Every node's path, parents (higher indexes) before their children.
void setAllPaths() {
    Codec.pathCode[RootNode] = 0;
    Codec.node[RootNode].depth = 0;
    for (size_t p = RootNode; p-- > 0;) setPath(p, Codec.node[p].parent);
}

void resetHuffmanTree() {
    HuffmanNode* const node = Codec.node;
    for (int s = 0; s < SymbolCount; s++) {
        node[s].weight = 1;
        node[s].child = (uint16_t)(NodeCount + s);
        Codec.leafOf[s] = (uint16_t)s;
    }
    for (int i = 0, j = SymbolCount; j < NodeCount; i += 2, j++) {
        node[j].weight = (uint16_t)(node[i].weight + node[i + 1].weight);
        node[j].child = (uint16_t)i;
        node[i].parent = node[i + 1].parent = (uint16_t)j;
    }
    node[NodeCount].weight = 0xFFFF;
    node[RootNode].parent = 0;
    setAllPaths();
}

// Halves the weights and builds the tree anew from the leaves, which keep
// their order; a new node goes above all nodes of equal weight.
__attribute__((noinline)) void rebuildHuffmanTree() {
    HuffmanNode* const node = Codec.node;
    int j = 0;
    for (int i = 0; i < NodeCount; i++) {
        if (node[i].child >= NodeCount) {
            node[j].weight = (uint16_t)((node[i].weight + 1) / 2);
            node[j].child = node[i].child;
            j++;
        }
    }
    for (int i = 0, j = SymbolCount; j < NodeCount; i += 2, j++) {
        const uint16_t f = (uint16_t)(node[i].weight + node[i + 1].weight);
        // Nodes 0 to j - 1 are in order of weight: k is the first heavier
        // than f.
        int k = 0, above = j;
        while (k < above) {
            const int middle = (k + above) / 2;
            if (node[middle].weight <= f) {
                k = middle + 1;
            } else {
                above = middle;
            }
        }
        memmove(&node[k + 1], &node[k], (size_t)(j - k) * sizeof node[0]);
        node[k].weight = f;
        node[k].child = (uint16_t)i;
    }
    for (int i = 0; i < NodeCount; i++) {
        const int k = node[i].child;
        if (k >= NodeCount) {
            Codec.leafOf[k - NodeCount] = (uint16_t)i;
        } else {
            node[k].parent = node[k + 1].parent = (uint16_t)i;
        }
    }
    node[RootNode].parent = 0;
    setAllPaths();
}

// Counts one more on the nodes from x up while none needs an exchange.
// Returns true with x at the first node whose count would pass the node
// after it, false once the root is counted (its parent is 0; the sentinel
// after the root outweighs it, so the root is never exchanged).
SS_HOT bool countUp(size_t& x) {
    HuffmanNode* const node = Codec.node;
#ifdef SS_CODEC_X86_64
    // Seven instructions a level: a node's weight and parent load as one
    // word (the count never carries into the parent), and the shift that
    // leaves the parent also tells whether it was the root's. Two levels a
    // turn, so the index and the word swap registers instead of moving.
    static_assert(sizeof(HuffmanNode) == 8 && offsetof(HuffmanNode, parent) == 2, "node layout");
    size_t y;
    __asm__ goto(
        "1:\n\t"
        "movl (%[node],%[x],8), %k[y]\n\t"
        "addl $1, %k[y]\n\t"
        "cmpw %w[y], 8(%[node],%[x],8)\n\t"
        "jb 3f\n\t"
        "movw %w[y], (%[node],%[x],8)\n\t"
        "shrl $16, %k[y]\n\t"
        "je %l[counted]\n\t"
        "movl (%[node],%[y],8), %k[x]\n\t"
        "addl $1, %k[x]\n\t"
        "cmpw %w[x], 8(%[node],%[y],8)\n\t"
        "jb 2f\n\t"
        "movw %w[x], (%[node],%[y],8)\n\t"
        "shrl $16, %k[x]\n\t"
        "jne 1b\n\t"
        "jmp %l[counted]\n"
        "2:\n\t"
        "movq %[y], %[x]\n"
        "3:"
        : [x] "+r"(x), [y] "=&r"(y)
        : [node] "r"(node)
        : "cc", "memory"
        : counted);
    return true;
counted:
    return false;
#else
    for (;;) {
        const uint16_t k = (uint16_t)(node[x].weight + 1);
        if (__builtin_expect(k > node[x + 1].weight, 0)) return true;
        node[x].weight = k;
        x = node[x].parent;
        if (x == 0) return false;
    }
#endif
}

// Counts symbol s, keeping the sibling property by exchanging nodes. Nodes x
// to l all weigh k - 1 when x is exchanged with l, so the exchange leaves
// x's weight as it was and gives l the new count.
SS_HOT void updateHuffmanTree(size_t s, bool keepPaths) {
    LzhufCodec& c = Codec;
    HuffmanNode* const node = c.node;
    if (node[RootNode].weight == RebuildWeight) rebuildHuffmanTree();
    size_t x = c.leafOf[s];
    while (countUp(x)) {
        HuffmanNode* const n = node + x;
        const uint16_t k = (uint16_t)(n->weight + 1);
        const HuffmanNode* heavier = n + 2;
        while (k > heavier->weight) heavier++;
        const size_t l = (size_t)(heavier - node) - 1;
        node[l].weight = k;
        const size_t i = n->child, j = node[l].child;
        if (i < NodeCount) {
            node[i].parent = node[i + 1].parent = (uint16_t)l;
        } else {
            c.leafOf[i - NodeCount] = (uint16_t)l;
        }
        if (j < NodeCount) {
            node[j].parent = node[j + 1].parent = (uint16_t)x;
        } else {
            c.leafOf[j - NodeCount] = (uint16_t)x;
        }
        node[l].child = (uint16_t)i;
        n->child = (uint16_t)j;
        if (keepPaths) {
            if (i < NodeCount) setPathsBelow(l);
            if (j < NodeCount) setPathsBelow(x);
        }
        x = node[l].parent;
    }
}

// ---- Bits -------------------------------------------------------------------

// The compressor's pending output bits: a local of the compression loop, so
// that they stay in registers.
struct BitWriter {
    uint64_t buffer;  // left-aligned
    uint32_t count;   // 0-31 between symbols

    // Appends the top n bits of bits (n <= 32), four bytes at a time.
    SS_HOT void put(uint32_t n, uint32_t bits) {
        buffer |= ((uint64_t)bits << 32) >> count;
        count += n;
        if (count >= 32) {
            writeStreamWord((uint32_t)(buffer >> 32));
            buffer <<= 32;
            count -= 32;
        }
    }
    // Writes the pending bits, the last byte filled up with zero bits.
    void flush() {
        for (uint32_t done = 0; done < count; done += 8)
            writeStreamByte((uint8_t)(buffer >> (56 - done)));
        count = 0;
    }
};

// Writes the path of symbol s from the root, then counts the symbol. A tree
// whose root weighs at most 0x8000 is at most 21 levels deep (a Huffman tree
// of depth d weighs at least the (d+2)-th Fibonacci number, and 46368 >
// 0x8000), so 32 bits hold every path; paths deeper than 16 levels are
// written whole, not cut to 16 bits.
SS_HOT void writeSymbol(BitWriter& out, size_t s, uint32_t position) {
    LzhufCodec& c = Codec;
    const size_t leaf = c.leafOf[s];
    uint32_t bits = c.pathCode[leaf];
    uint32_t count = c.node[leaf].depth;
    if (__builtin_expect(count > 16, 0) && count > c.longestCode) c.longestCode = count;
    if (s >= 256) {
        // A match: its position follows, in the same write when it fits.
        const uint32_t u = position >> 6, length = Positions.codeLength[u] + 6u;
        const uint32_t positionBits = (uint32_t)Positions.code[u] << 24 |
                                      (position & 0x3F) << (32 - length);
        if (count + length <= 32) {
            bits |= positionBits >> count;
            count += length;
        } else {
            out.put(count, bits);
            bits = positionBits;
            count = length;
        }
    }
    out.put(count, bits);
    updateHuffmanTree(s, true);
}

// ---- Match trees ------------------------------------------------------------
//
// matchLink[x][0] and [x][1] are the left and right links of node x (a ring
// position, or 4097 + b for the root of byte b's tree, which uses its right
// link only). Below, the links are one flat array: node x's at 2x and 2x + 1.

void resetMatchTrees() {
    for (int i = RingSize + 1; i <= RingSize + 256; i++) Codec.matchLink[i][1] = Nil;
    for (int i = 0; i < RingSize; i++) Codec.matchSlot[i] = NotLinked;
}

typedef uintptr_t Word;
constexpr int WordBytes = (int)sizeof(Word);
inline Word loadWord(const uint8_t* p) {
    Word w;
    memcpy(&w, p, sizeof w);
    return w;
}
// A word of ring bytes whose integer order is the order of its bytes as
// unsigned values compared from the first (the lowest address) on.
inline Word orderedWord(Word w) {
#if !defined(__BYTE_ORDER__) || __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    if (sizeof(Word) == 8) return (Word)__builtin_bswap64((uint64_t)w);
    return (Word)__builtin_bswap32((uint32_t)w);
#else
    return w;
#endif
}
// True when two loaded words differ in their first two bytes.
inline bool firstTwoDiffer(Word a, Word b) {
#if !defined(__BYTE_ORDER__) || __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    return (uint16_t)a != (uint16_t)b;
#else
    return (a ^ b) >> (8 * WordBytes - 16) != 0;
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

// Compares the strings at a and b from byte `from` on (their earlier bytes
// being equal): the index of the first difference, 60 when there is none;
// dir becomes 1 when a's byte there is the greater or none differs, else 0.
inline int compareTail(const uint8_t* a, const uint8_t* b, int from, size_t& dir) {
    for (int i = from; i < LookAhead; i += WordBytes) {
        const Word wa = orderedWord(loadWord(a + i)), wb = orderedWord(loadWord(b + i));
        if (wa != wb) {
            const int j = i + equalBytes(wa ^ wb);
            if (j >= LookAhead) break;
            dir = wa > wb;
            return j;
        }
    }
    dir = 1;
    return LookAhead;
}

// Follows the links from link[at] on while the node reached differs from the
// key early: within its bytes 1-2 when the match is tracked (such a node
// cannot give a match of 3 bytes), else within bytes 1 to WordBytes. Returns
// false when the walk reached an empty link, at being that link; true with p
// at a node to compare closely (at is then undefined: the caller sets it from
// p).
SS_HOT bool descend(size_t& at, size_t& p, Word keyWord, Word keyOrdered, bool track) {
    const uint8_t* const ring = Codec.ring;
    const uint16_t* const link = &Codec.matchLink[0][0];
#ifdef SS_CODEC_X86_64
    // Ten instructions a level: the direction is the borrow of one compare,
    // added to 2p. Outputs of a jumping asm hold only where it falls
    // through (the empty link, where at is needed); the node to compare is
    // handed over in memory.
    size_t node;
    Word w;
#define SS_DESCEND(compare)                                 \
    __asm__ goto("movzwl (%[link],%[at],2), %k[p]\n\t"     \
                 "cmpl %[nil], %k[p]\n\t"                   \
                 "je 3f\n"                                   \
                 "1:\n\t"                                    \
                 "movq 1(%[ring],%[p]), %[w]\n\t"           \
                 compare                                    \
                 "je 2f\n\t"                                \
                 "bswapq %[w]\n\t"                          \
                 "leaq (%[p],%[p]), %[at]\n\t"              \
                 "cmpq %[ordered], %[w]\n\t"                \
                 "adcq $0, %[at]\n\t"                       \
                 "movzwl (%[link],%[at],2), %k[p]\n\t"     \
                 "cmpl %[nil], %k[p]\n\t"                   \
                 "jne 1b\n\t"                               \
                 "jmp 3f\n"                                  \
                 "2:\n\t"                                    \
                 "movq %[p], (%[found])\n\t"                \
                 "jmp %l[close]\n"                           \
                 "3:"                                       \
                 : [at] "+r"(at), [p] "=&r"(p), [w] "=&r"(w) \
                 : [link] "r"(link), [ring] "r"(ring), [key] "r"(keyWord), \
                   [ordered] "r"(keyOrdered), [nil] "i"(Nil), [found] "r"(&node) \
                 : "cc", "memory"                           \
                 : close)
    if (track) {
        SS_DESCEND("cmpw %w[w], %w[key]\n\t");
    } else {
        SS_DESCEND("cmpq %[w], %[key]\n\t");
    }
#undef SS_DESCEND
    return false;
close:
    p = node;
    return true;
#else
    for (;;) {
        p = link[at];
        if (p == Nil) return false;
        const Word w = loadWord(ring + p + 1);
        if (track ? !firstTwoDiffer(w, keyWord) : w == keyWord) return true;
        at = 2 * p + (keyOrdered > orderedWord(w));
    }
#endif
}

// Enters the string at ring position r into its tree and, when track is
// set, finds the longest (of equals, the nearest) earlier string matching it
// on the way down. Only the last insertion before a symbol is written needs
// the match; the others only place the string, which the first differing
// byte decides. Most nodes differ from the key within its first word and cost
// one word load; a node that agrees in more than two bytes costs more only
// when the match is tracked, and one that agrees in the whole word is
// compared on.
SS_HOT void insertPosition(size_t r, bool track) {
    LzhufCodec& c = Codec;
    const uint8_t* const ring = c.ring;
    uint16_t* const link = &c.matchLink[0][0];
    const uint8_t* const key = ring + r;
    const Word keyWord = loadWord(key + 1);  // bytes 1 to WordBytes
    const Word keyOrdered = orderedWord(keyWord);
    link[2 * r] = link[2 * r + 1] = Nil;
    const size_t newer = r - 1;
    size_t at = 2 * (RingSize + 1 + (size_t)key[0]) + 1;  // the link to follow
    size_t p;
    int best = 0;
    uint16_t bestPosition = c.matchPosition;
    for (;;) {
        if (!descend(at, p, keyWord, keyOrdered, track)) {
            link[at] = (uint16_t)r;
            c.matchSlot[r] = (uint16_t)at;
            if (track) {
                c.matchLength = (uint16_t)best;
                c.matchPosition = bestPosition;
            }
            return;
        }
        const Word w = loadWord(ring + p + 1);
        int i;
        if (w != keyWord) {
            const Word ordered = orderedWord(w);
            at = 2 * p + (keyOrdered > ordered);
            i = 1 + equalBytes(keyOrdered ^ ordered);
        } else {
            size_t dir;
            i = compareTail(key, ring + p, 1 + WordBytes, dir);
            at = 2 * p + dir;
            if (!track) {
                if (i >= LookAhead) break;
                continue;
            }
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
    if (track) {
        c.matchLength = (uint16_t)best;
        c.matchPosition = bestPosition;
    }
    // A full-length match: r takes p's place, so the newest copy stays.
    const size_t left = link[2 * p], right = link[2 * p + 1], slot = c.matchSlot[p];
    c.matchSlot[r] = (uint16_t)slot;
    link[2 * r] = (uint16_t)left;
    link[2 * r + 1] = (uint16_t)right;
    c.matchSlot[left] = (uint16_t)(2 * r);
    c.matchSlot[right] = (uint16_t)(2 * r + 1);
    link[slot] = (uint16_t)r;
    c.matchSlot[p] = NotLinked;
}

SS_HOT void removePosition(size_t p) {
    LzhufCodec& c = Codec;
    uint16_t* const link = &c.matchLink[0][0];
    uint16_t* const slotOf = c.matchSlot;
    const size_t slot = slotOf[p];
    if (slot == NotLinked) return;
    const size_t left = link[2 * p], right = link[2 * p + 1];
    size_t q;
    if (right == Nil) {
        q = left;
    } else if (left == Nil) {
        q = right;
    } else {
        // p's predecessor q takes its place.
        q = left;
        if (link[2 * q + 1] != Nil) {
            do q = link[2 * q + 1];
            while (link[2 * q + 1] != Nil);
            const size_t qSlot = slotOf[q], qLeft = link[2 * q];
            link[qSlot] = (uint16_t)qLeft;
            slotOf[qLeft] = (uint16_t)qSlot;
            link[2 * q] = (uint16_t)left;
            slotOf[left] = (uint16_t)(2 * q);
        }
        link[2 * q + 1] = (uint16_t)right;
        slotOf[right] = (uint16_t)(2 * q + 1);
    }
    slotOf[q] = (uint16_t)slot;
    link[slot] = (uint16_t)q;
    // slotOf[p] is left as it was: nothing reads it before p is entered
    // again (4036 steps on), or the run ends.
}

// ---- Expansion ----------------------------------------------------------------

// The bit reader keeps more than 24 bits buffered before each symbol and each
// position, which covers the deepest code (21 bits) and the longest position
// (14 bits). Bits past the end of the input read as 0 and are counted.
struct BitReader {
    uint32_t buffer;   // left-aligned
    uint32_t count;    // valid bits
    uint32_t phantom;  // of those, bits that were never delivered (at the end)

    SS_HOT void refill() {
        while (count <= 24) {
            int b = readStreamByte();
            if (__builtin_expect(b < 0, 0)) {
                b = 0;
                phantom += 8;
            }
            buffer |= (uint32_t)b << (24 - count);
            count += 8;
        }
    }
    // True when a bit that was never delivered has been consumed.
    bool overrun() const { return phantom > count; }
};

SS_HOT size_t readSymbol(BitReader& in) {
    const HuffmanNode* const node = Codec.node;
    in.refill();
    uint32_t buffer = in.buffer;
    size_t x = node[RootNode].child;
    uint32_t used = 0;
    do {
        x = node[x + (buffer >> 31)].child;
        buffer <<= 1;
        used++;
    } while (x < NodeCount);
    in.buffer = buffer;
    in.count -= used;
    return x - NodeCount;
}

SS_HOT uint32_t readPosition(BitReader& in) {
    in.refill();
    const uint32_t b = in.buffer >> 24;
    const uint32_t length = Positions.prefixLength[b];  // 3-8, then 6 plain bits
    const uint32_t low = in.buffer >> (32 - length - 6) & 0x3F;
    in.buffer <<= length + 6;
    in.count -= length + 6;
    return (uint32_t)Positions.prefixHigh[b] << 6 | low;
}

}  // namespace

void resetCodecState() {
    Codec.expandedSize = 0;
    Codec.getBuffer = Codec.getCount = 0;
    Codec.longestCode = 0;
}

void clearCodecRing() { memset(Codec.ring, 0, sizeof Codec.ring); }

void compressStream() {
    LzhufCodec& c = Codec;
    if (writeExpandedSize() == 0) return;
    resetHuffmanTree();
    resetMatchTrees();
    uint8_t* const ring = c.ring;
    memset(ring, ' ', StartPosition);
    BitWriter out{0, 0};
    size_t s = 0, r = StartPosition, len = 0;
    while (len < LookAhead) {
        const int b = readStreamByte();
        if (b < 0) break;
        ring[r + len++] = (uint8_t)b;
    }
    for (size_t i = 1; i <= LookAhead; i++) insertPosition(r - i, false);
    insertPosition(r, true);
    while (len > 0) {
        size_t last;
        if (c.matchLength <= MatchThreshold || len <= MatchThreshold) {
            // A literal: the common step on data that does not compress.
            writeSymbol(out, ring[r], 0);
            const int b = readStreamByte();
            if (__builtin_expect(b >= 0, 1)) {
                removePosition(s);
                ring[s] = (uint8_t)b;
                if (s < RingMirror) ring[s + RingSize] = (uint8_t)b;
                s = (s + 1) & (RingSize - 1);
                r = (r + 1) & (RingSize - 1);
                insertPosition(r, true);
                continue;
            }
            last = 1;  // the input has ended: the steps below read it as ended again
        } else {
            last = c.matchLength < len ? c.matchLength : len;
            writeSymbol(out, 255 - MatchThreshold + last, c.matchPosition);
        }
        // The last insertion of the step finds the next match.
        size_t i = 0;
        for (; i < last; i++) {
            const int b = readStreamByte();
            if (b < 0) break;
            removePosition(s);
            ring[s] = (uint8_t)b;
            if (s < RingMirror) ring[s + RingSize] = (uint8_t)b;
            s = (s + 1) & (RingSize - 1);
            r = (r + 1) & (RingSize - 1);
            if (i + 1 < last) {
                insertPosition(r, false);
            } else {
                insertPosition(r, true);
            }
        }
        for (; i < last; i++) {
            removePosition(s);
            s = (s + 1) & (RingSize - 1);
            r = (r + 1) & (RingSize - 1);
            if (--len == 0) continue;
            if (i + 1 < last) {
                insertPosition(r, false);
            } else {
                insertPosition(r, true);
            }
        }
    }
    out.flush();
}

void expandStream() {
    LzhufCodec& c = Codec;
    const uint32_t size = readExpandedSize();
    c.expandedSize = size;
    if (size == 0) return;
    resetHuffmanTree();
    uint8_t* const ring = c.ring;
    memset(ring, ' ', StartPosition);
    BitReader in{c.getBuffer, c.getCount, 0};
    size_t r = StartPosition;
    uint32_t count = 0;
    // The stream layer sets ExpandedSize to 0 when the output cannot be
    // written; the loop then stops.
    while (count < c.expandedSize) {
        const size_t y = readSymbol(in);
        if (y < 256) {
            if (in.overrun()) break;
            updateHuffmanTree(y, false);
            writeStreamByte((uint8_t)y);
            ring[r] = (uint8_t)y;
            r = (r + 1) & (RingSize - 1);
            count++;
        } else {
            updateHuffmanTree(y, false);
            size_t i = (r - readPosition(in) - 1) & (RingSize - 1);
            if (in.overrun()) break;
            uint32_t n = (uint32_t)y - (255 - MatchThreshold);
            if (n > size - count) n = size - count;  // a match past the end is cut
            count += n;
            while (n--) {
                const uint8_t b = ring[i];
                writeStreamByte(b);
                ring[r] = b;
                r = (r + 1) & (RingSize - 1);
                i = (i + 1) & (RingSize - 1);
            }
        }
    }
    c.getBuffer = in.buffer;
    c.getCount = in.count;
    if (in.overrun()) streamFail(FaultCodesEnd);
}
