// Any bytes compressed from memory into RcBlocks and expanded again, as the
// installer does with its settings record and the authoring tool with every
// chunk. Properties: the compressed stream fits a bounded target, its blocks
// are framed as the format says, and it expands to exactly the input whatever
// earlier runs left in the ring positions that outlive a run.
#include <string.h>

#include <vector>

#include "fuzz_support.h"
#include "lzhuf.h"
#include "transfer.h"

namespace {

// Generous room for the compressed stream: literals of rare symbols may take
// more than 8 bits each, plus the framing.
uint32_t compressBound(size_t size) { return (uint32_t)(2 * size + 64); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The key byte of a scrambled source comes from the first input byte.
    const uint8_t key = size > 0 ? data[0] : 0;
    std::vector<uint8_t> plain(data, data + size);
    plain.shrink_to_fit();
    std::vector<uint8_t> scrambled(plain);
    for (uint8_t& b : scrambled) b ^= key;

    // What earlier runs left behind, different for the two runs.
    memset(Codec.ring + StartPosition, key, RingBytes - StartPosition);

    const uint32_t bound = compressBound(size);
    fuzz::GuardedBuffer packed(bound);
    int32_t length = (int32_t)size;
    bool ok = transferChunk(memoryEnd(scrambled.data(), (uint32_t)size), memoryEnd(packed.data(), bound),
                            length, FlagCompress | key | FlagMemorySource | FlagMemoryTarget);
    fuzz::check(packed.intact(), "compression wrote past its memory target");
    fuzz::check(ok, "compression into a bounded target failed");

    // Framing: a 10-byte size block, full blocks, one shorter final block.
    const uint8_t* p = packed.data();
    uint32_t at = 0, blocks = 0;
    while (at < (uint32_t)length) {
        fuzz::check((uint32_t)length - at >= 6 && p[at] == 0x52 && p[at + 1] == 0x43, "block magic");
        uint32_t blockLength = (uint32_t)(p[at + 4] | p[at + 5] << 8);
        fuzz::check(blockLength >= 6 && blockLength <= (uint32_t)length - at, "block length");
        fuzz::check(blocks != 0 || blockLength == 10, "the first block is not the size block");
        at += blockLength;
        blocks++;
        fuzz::check(at == (uint32_t)length || blocks == 1 || blockLength == 10240,
                    "a short block before the last");
    }
    fuzz::check(blocks >= 2, "fewer than two blocks");

    memset(Codec.ring + StartPosition, (uint8_t)~key, RingBytes - StartPosition);
    fuzz::GuardedBuffer expanded(size);
    int32_t written = length;
    ok = transferChunk(memoryEnd(packed.data(), (uint32_t)length), memoryEnd(expanded.data(), size),
                       written, FlagExpand | FlagMemorySource | FlagMemoryTarget);
    fuzz::check(expanded.intact(), "expansion wrote past its memory target");
    fuzz::check(ok && (size_t)written == size && (size == 0 || memcmp(expanded.data(), plain.data(), size) == 0),
                "the round trip changed the bytes");
    return 0;
}
