// Codes longer than 16 bits: input built so that the adaptive Huffman tree
// grows a leaf more than 16 levels below its root, which must still be
// written whole and expand to the same bytes.
#include <gtest/gtest.h>

#include "codec_helpers.h"
#include "lzhuf.h"

namespace {

// Tokens of one literal and a 20-byte copy of the token 190 places back
// (3990 bytes back: inside the ring, while the copy's own source has left
// it), so that each token codes as exactly one literal and one match of 20.
// Seven literal values take shares that grow faster than the weights below
// them add up, so under the match symbol they form a chain of single leaves
// 8 deep above the ~300 symbols never used, which hang 8 to 9 levels further
// down. Once the literals of the random start have decayed through a few
// rebuilds, a run of never-used literals is written from the bottom of that
// chain. A literal never equals the one 190 tokens back, else the match
// would grow past its token.
Bytes deepTreeInput() {
    const int Length = 20, Back = 190, Warm = 40000, RareEvery = 100, RareCount = 100;
    const int64_t share[] = {210, 420, 672, 1176, 1982, 3393, 5772};
    const int Heavy = 7;
    int64_t total = 0;
    for (int64_t w : share) total += w;
    uint32_t x = 12345;
    Bytes content(Back * Length);
    for (auto& b : content) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = (uint8_t)x;
    }
    std::vector<uint8_t> literal;
    for (int k = 0; k < Back; k++) literal.push_back((uint8_t)(0x80 + Heavy + k % 32));
    int64_t made[Heavy] = {}, heavyTokens = 0;
    int rare = 0;
    for (int k = Back; k < Warm + RareEvery * RareCount; k++) {
        const uint8_t forbidden = literal[k - Back];
        if (k >= Warm && (k - Warm) % RareEvery == 0 && rare < RareCount && rare != forbidden) {
            literal.push_back((uint8_t)rare++);  // values 0..99: never literals here
            continue;
        }
        // The value furthest behind its share.
        heavyTokens++;
        int best = -1;
        int64_t bestDeficit = 0;
        for (int h = 0; h < Heavy; h++) {
            int64_t deficit = heavyTokens * share[h] - made[h] * total;
            if (0x80 + h != forbidden && (best < 0 || deficit > bestDeficit)) {
                best = h;
                bestDeficit = deficit;
            }
        }
        made[best]++;
        literal.push_back((uint8_t)(0x80 + best));
    }
    Bytes in;
    for (size_t k = 0; k < literal.size(); k++) {
        in.push_back(literal[k]);
        const uint8_t* from = content.data() + (k % Back) * Length;
        in.insert(in.end(), from, from + Length);
    }
    return in;
}

TEST(LzhufDeepTree, CodesDeeperThan16LevelsRoundTrip) {
    const Bytes in = deepTreeInput();
    RunResult c = compressMemory(in);
    ASSERT_TRUE(c.ok);
    EXPECT_GT(Codec.longestCode, 16u) << "the input no longer drives the tree that deep";
    RunResult e = expandMemory(c.out, (uint32_t)in.size());
    ASSERT_TRUE(e.ok) << streamFaultText(e.fault.kind);
    EXPECT_TRUE(e.out == in);
}

}  // namespace
