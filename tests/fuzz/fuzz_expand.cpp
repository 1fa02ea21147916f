// Any bytes as a compressed chunk, expanded from bounded memory into a bounded
// 64 KiB memory target: once as RcBlocks (the framing checks), once as the bare
// codec stream (so that mutations reach the decoder past the checksums).
// Properties: no read past the source, no write past the target, and an
// expansion that succeeded into n bytes fails when the target has n - 1.
#include <string.h>

#include <vector>

#include "fuzz_support.h"
#include "lzhuf.h"
#include "stream.h"
#include "transfer.h"

namespace {

constexpr uint32_t TargetExtent = 64 * 1024;
constexpr TransferFlags ExpandFlags = FlagExpand | FlagMemorySource | FlagMemoryTarget;

// One expansion; true on success, *written the bytes delivered.
bool expand(const std::vector<uint8_t>& source, uint32_t extent, bool framed, int32_t* written,
            std::vector<uint8_t>* result) {
    fuzz::GuardedBuffer target(extent);
    // The ring's last positions outlive a run; a crafted stream may read them
    // before writing them, so each run here starts as in a fresh process.
    clearCodecRing();
    int32_t length = (int32_t)source.size();
    setStreamFraming(framed);
    bool ok = transferChunk(memoryEnd((void*)source.data(), (uint32_t)source.size()),
                            memoryEnd(target.data(), extent), length, ExpandFlags);
    fuzz::check(target.intact(), "an expansion wrote past its memory target");
    fuzz::check(length >= 0 && (uint32_t)length <= extent, "bytes written out of range");
    *written = length;
    if (result) result->assign(target.data(), target.data() + length);
    return ok;
}

void run(const std::vector<uint8_t>& source, bool framed) {
    int32_t written = 0;
    std::vector<uint8_t> first;
    if (!expand(source, TargetExtent, framed, &written, &first) || written == 0) return;

    // The same input gives the same bytes; one byte less room must fail.
    int32_t again = 0;
    std::vector<uint8_t> second;
    fuzz::check(expand(source, (uint32_t)written, framed, &again, &second) && second == first,
                "an expansion into exactly its size differs");
    fuzz::check(!expand(source, (uint32_t)written - 1, framed, &again, nullptr),
                "an expansion into one byte too few succeeded");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exactly sized copy, so that a read past the source is caught.
    std::vector<uint8_t> source(data, data + size);
    source.shrink_to_fit();
    run(source, true);
    run(source, false);
    return 0;
}
