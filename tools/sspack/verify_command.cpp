// sspack verify FILE: checks every chunk of a container, one line each.
#include <cstdio>
#include <memory>
#include <vector>

#include "command.h"
#include "file_io.h"
#include "rcblock.h"
#include "stream.h"
#include "container_file.h"
#include "files.h"
#include "reader.h"

namespace {

// Walks the block frames of a compressed chunk: a 10-byte size block, full
// blocks, and one shorter final block that must end exactly at storedSize
// (the expander itself reads on to the final block whatever the record says).
std::string checkFraming(const DirectoryEntry& e) {
    const uint32_t start = le32(e.dataOffset), size = le32(e.storedSize);
    uint32_t at = 0;
    for (int block = 0;; block++) {
        RcBlockHeader h;
        if (size - at < RcHeaderSize || !seekTo(readerHandle(), start + at) ||
            !readAll(readerHandle(), &h, RcHeaderSize))
            return "its blocks run past its stored size of " + std::to_string(size) + " bytes";
        const uint32_t length = le16(h.length);
        if (le16(h.magic) != RcBlockMagic || length < RcHeaderSize || length > RcBlockMaxSize ||
            (block == 0 && length != RcFirstBlockSize))
            return "the block at byte " + std::to_string(at) + " of its data has no valid header";
        if (length > size - at)
            return "its blocks run past its stored size of " + std::to_string(size) + " bytes";
        at += length;
        if (block > 0 && length < RcBlockMaxSize) break;
    }
    if (at != size)
        return "its blocks end at byte " + std::to_string(at) + " but its stored size is " +
               std::to_string(size);
    return "";
}

// The problem of one record, or empty when it is sound. Expands compressed
// data into sink.
std::string checkRecord(const OpenedContainer& c, int32_t k, HANDLE sink, std::string& detail) {
    const DirectoryEntry& e = *readerEntry(k);
    bool named = false;
    for (char ch : e.name) named = named || ch == 0;
    if (!named) return "its name is not ended within 16 bytes";
    if (e.name[0] == 0) return "its name is empty";
    if (e.storage == StorageInline) {
        if (k == 0) return "the record that ends the file cannot be inline";
        int32_t n = (int8_t)e.countOrLength;
        if (n < 0 || n > InlineMaxLength)
            return "inline length " + std::to_string(n) + " is not 0 to 16";
        detail = std::to_string(n) + " inline bytes";
        return "";
    }
    if (e.recordLength != DirectoryRecordSize || le32(e.magic) != DirectoryMagic)
        return "the record is garbled (no record length 40 and magic)";
    if (e.storage != StorageStored && e.storage != StorageCompressed)
        return "unknown storage kind " + std::to_string(e.storage);
    std::string why;
    if (le32(e.dataOffset) > 0x7FFFFFFFu || le32(e.storedSize) > 0x7FFFFFFFu)
        return "its offset or size is beyond 2 GiB";
    if (!chunkDataInside(c, e, why)) return why;
    const uint32_t stored = le32(e.storedSize), plain = le32(e.plainSize);
    if (e.storage == StorageStored) {
        if (plain != stored)
            return "stored data of " + std::to_string(stored) + " bytes, but its plain size says " +
                   std::to_string(plain);
        detail = std::to_string(stored) + " bytes" +
                 (e.xorKey ? ", scrambled with key " + std::to_string(e.xorKey) : std::string());
        return "";
    }
    if (e.xorKey != 0) return "compressed data with an XOR key (" + std::to_string(e.xorKey) + ")";
    uint64_t written = 0;
    if (!writePlainChunk(e, sink, written)) {
        StreamFault f = lastStreamFault();
        return std::string("its compressed data is damaged: ") + streamFaultText(f.kind) +
               " at byte " + std::to_string(f.offset) + " of its data (" + std::to_string(written) +
               " bytes expanded)";
    }
    if (written != plain)
        return "expands to " + std::to_string(written) + " bytes, but its plain size says " +
               std::to_string(plain);
    std::string framing = checkFraming(e);
    if (!framing.empty()) return framing;
    detail = std::to_string(stored) + " -> " + std::to_string(plain) + " bytes, every block good";
    return "";
}

void runVerify(const std::string& file) {
    OpenedContainer c = openContainerFile(file);
    HANDLE sink = openNullDevice();
    if (sink == INVALID_HANDLE_VALUE) throw CommandError{ExitIo, "cannot open the null device"};
    std::vector<std::string> bad;
    for (int32_t k = 0; k < c.entryCount; k++) {
        const DirectoryEntry& e = *readerEntry(k);
        std::string detail;
        std::string problem = checkRecord(c, k, sink, detail);
        int32_t first = firstRecordNamed(k);
        if (problem.empty() && first != k)
            detail += "; unreachable by name (record " + std::to_string(first) + " comes first)";
        std::printf("%-3d %-16s %-10s %s %s\n", k, entryName(e).c_str(),
                    storageName(e.storage).c_str(), problem.empty() ? "ok " : "BAD",
                    problem.empty() ? detail.c_str() : problem.c_str());
        if (!problem.empty()) bad.push_back(entryName(e));
    }
    CloseHandle(sink);
    closeContainerFile();
    if (!bad.empty()) {
        std::string names;
        for (const std::string& n : bad) names += (names.empty() ? "" : ", ") + n;
        throw CommandError{ExitInvalid, c.path + ": damaged: " + std::to_string(bad.size()) + " of " +
                                            std::to_string(c.entryCount) + " chunks fail (" + names +
                                            ")"};
    }
    std::printf("%s: all %d chunks are sound\n", c.path.c_str(), c.entryCount);
}

}  // namespace

void addVerifyCommand(CLI::App& app) {
    auto file = std::make_shared<std::string>();
    CLI::App* cmd = app.add_subcommand(
        "verify",
        "Check a container: every chunk's data inside the file, every compressed chunk "
        "expanded with each block checked, sizes as recorded. Exit code 0 only when all is "
        "sound.");
    cmd->add_option("FILE", *file, "The installer or installed .scr file")->required();
    cmd->callback([file] { runVerify(*file); });
}
