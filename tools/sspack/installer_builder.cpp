#include "installer_builder.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "command.h"
#include "directory.h"
#include "file_io.h"
#include "files.h"
#include "transfer.h"

namespace {

struct OpenInput {
    const ChunkSource* source;  // null for the stub
    std::string path;
    std::string origin;
    HANDLE handle = INVALID_HANDLE_VALUE;
    uint64_t size = 0;
};

// Keeps the inputs open from the checks before writing until the end.
struct Inputs {
    std::vector<OpenInput> list;
    ~Inputs() {
        for (OpenInput& in : list)
            if (in.handle != INVALID_HANDLE_VALUE) CloseHandle(in.handle);
    }
};

std::string sizeText(uint64_t bytes) {
    char buf[64];
    if (bytes >= (1ull << 30)) std::snprintf(buf, sizeof buf, "%.2f GiB", bytes / 1073741824.0);
    else std::snprintf(buf, sizeof buf, "%llu bytes", (unsigned long long)bytes);
    return buf;
}

DirectoryEntry makeEntry(const std::string& name, uint8_t storage, uint8_t xorKey,
                         uint32_t dataOffset, uint32_t storedSize, uint32_t plainSize) {
    DirectoryEntry e;
    std::memset(&e, 0, sizeof e);
    e.storage = storage;
    e.xorKey = xorKey;
    setChunkName(e.name, name.c_str());
    putLe32(e.dataOffset, dataOffset);
    putLe32(e.storedSize, storedSize);
    putLe32(e.plainSize, plainSize);
    putLe32(e.markerOffset, 0xFFFFFFFFu);  // no marker
    e.recordLength = DirectoryRecordSize;
    putLe32(e.magic, DirectoryMagic);
    return e;
}

class Builder {
public:
    Builder(const Manifest& m, OutputFile& out, bool report)
        : manifest_(m), out_(out), report_(report) {}

    void copyStub(OpenInput& stub);
    void addChunk(OpenInput& in);
    void addAlias(const ChunkSource& alias);
    void addInfo();
    void finish();

private:
    const Manifest& manifest_;
    OutputFile& out_;
    bool report_;
    uint64_t position_ = 0;
    std::vector<DirectoryEntry> entries_;

    // Room left for chunk data: the directory must fit behind it below 2 GiB.
    uint64_t limit() const { return MaxContainerBytes - (uint64_t)DirectoryMaxRecords * DirectoryRecordSize; }
    [[noreturn]] void tooLarge(const std::string& what) const {
        throw CommandError{ExitInvalid, out_.path() + ": the installer would reach 2 GiB with " +
                                            what + "; offsets in it are limited to 2 GiB"};
    }
    [[noreturn]] void transferFailed(const OpenInput& in) const {
        std::string why = lastErrorText();
        throw CommandError{ExitIo, in.path + ": packing " + in.origin + " failed: the file could not "
                                   "be read in full or " + out_.path() + " not written (" + why + ")"};
    }
    // Moves size bytes of in to the output with flags; the bytes written.
    uint32_t move(OpenInput& in, TransferFlags flags) {
        if (!seekTo(in.handle, 0)) transferFailed(in);
        int32_t length = (int32_t)in.size;
        bool ok = transferChunk(fileEnd(in.handle), fileEnd(out_.handle()), length, flags);
        if (!ok) transferFailed(in);
        return (uint32_t)length;
    }
    void line(const DirectoryEntry& e, const std::string& note) const {
        if (!report_) return;
        std::printf("  %-9s %-10s %10u -> %10u bytes  %s\n", e.name,
                    e.storage == StorageCompressed ? "compressed"
                    : e.xorKey                      ? "scrambled"
                                                    : "stored",
                    le32(e.plainSize), le32(e.storedSize), note.c_str());
    }
};

void Builder::copyStub(OpenInput& stub) {
    if (stub.size > limit()) tooLarge("the installer program " + stub.path);
    uint32_t n = move(stub, 0);
    if (n != stub.size) transferFailed(stub);
    position_ = n;
}

void Builder::addChunk(OpenInput& in) {
    const ChunkSource& c = *in.source;
    const uint32_t offset = (uint32_t)position_;
    if (position_ + in.size > limit() && c.storage == Storage::Stored) tooLarge(c.origin);
    uint8_t storage = StorageStored;
    uint32_t stored = 0;
    if (c.storage == Storage::Stored) {
        stored = move(in, c.xorKey);
    } else {
        stored = move(in, FlagCompress);
        storage = StorageCompressed;
        if (c.storage == Storage::Auto && stored >= in.size) {
            // Compression does not pay: take the bytes back and store them.
            if (!seekTo(out_.handle(), offset) || !SetEndOfFile(out_.handle())) transferFailed(in);
            stored = move(in, 0);
            storage = StorageStored;
        }
    }
    position_ += stored;
    if (position_ > limit()) tooLarge(c.origin);
    entries_.push_back(makeEntry(c.name, storage, c.xorKey, offset, stored, (uint32_t)in.size));
    line(entries_.back(), c.origin);
}

void Builder::addAlias(const ChunkSource& alias) {
    for (const DirectoryEntry& e : entries_) {
        if (chunkNameEquals(alias.aliasOf.c_str(), e.name)) {
            DirectoryEntry copy = e;
            std::memset(copy.name, 0, sizeof copy.name);
            setChunkName(copy.name, alias.name.c_str());
            entries_.push_back(copy);
            line(copy, alias.origin + ", the data of " + alias.aliasOf);
            return;
        }
    }
    throw CommandError{ExitInvalid, manifest_.path + ": " + alias.origin + ": no " + alias.aliasOf +
                                        " chunk to share"};
}

void Builder::addInfo() {
    std::vector<uint8_t> record = encodeInfoRecord(manifest_.settings);
    const uint32_t offset = (uint32_t)position_;
    int32_t length = (int32_t)record.size();
    if (!transferChunk(memoryEnd(record.data(), (uint32_t)record.size()), fileEnd(out_.handle()),
                       length, FlagCompress | FlagMemorySource)) {
        std::string why = lastErrorText();
        throw CommandError{ExitIo, out_.path() + ": cannot write: " + why};
    }
    position_ += (uint32_t)length;
    if (position_ > limit()) tooLarge("the settings");
    entries_.push_back(makeEntry("INFO", StorageCompressed, 0, offset, (uint32_t)length,
                                 (uint32_t)record.size()));
    line(entries_.back(), "settings");
}

void Builder::finish() {
    const int32_t count = (int32_t)entries_.size();
    if (count > DirectoryMaxRecords)
        throw CommandError{ExitInvalid, manifest_.path + ": " + std::to_string(count) +
                                            " chunks; a directory holds at most " +
                                            std::to_string(DirectoryMaxRecords)};
    uint8_t directory[DirectoryMaxRecords * DirectoryRecordSize];
    layoutDirectory(entries_.data(), count, directory);
    if (!writeAll(out_.handle(), directory, (uint32_t)count * DirectoryRecordSize)) {
        std::string why = lastErrorText();
        throw CommandError{ExitIo, out_.path() + ": cannot write: " + why};
    }
    position_ += (uint64_t)count * DirectoryRecordSize;
}

// Opens every input before anything is written, so that a missing file
// leaves no output behind.
void openInput(OpenInput& in) {
    std::string why;
    in.handle = openForReading(in.path, why);
    if (in.handle == INVALID_HANDLE_VALUE)
        throw CommandError{ExitIo, in.path + ": cannot read: " + why + " (" + in.origin + ")"};
    if (!handleSize(in.handle, in.size))
        throw CommandError{ExitIo, in.path + ": cannot read its size (" + in.origin + ")"};
    if (in.size > MaxContainerBytes)
        throw CommandError{ExitInvalid, in.path + ": " + sizeText(in.size) + " is too large (" +
                                            in.origin + "): a chunk must stay below 2 GiB"};
}

}  // namespace

void buildInstaller(const Manifest& m, const std::string& stubPath, const std::string& outPath,
                    bool report) {
    Inputs inputs;
    inputs.list.push_back(OpenInput{nullptr, stubPath, "the installer program", INVALID_HANDLE_VALUE, 0});
    for (const ChunkSource& c : m.chunks)
        if (c.aliasOf.empty())
            inputs.list.push_back(OpenInput{&c, c.path, c.origin, INVALID_HANDLE_VALUE, 0});
    for (OpenInput& in : inputs.list) {
        openInput(in);
        if (sameFile(in.path, outPath))
            throw CommandError{ExitUsage, outPath + ": is an input of this build (" + in.origin +
                                              "); write the installer elsewhere"};
    }
    if (sameFile(m.path, outPath))
        throw CommandError{ExitUsage, outPath + ": is the manifest; write the installer elsewhere"};

    OutputFile out(outPath);
    Builder builder(m, out, report);
    builder.copyStub(inputs.list[0]);
    size_t next = 1;
    for (const ChunkSource& c : m.chunks) {
        if (c.aliasOf.empty()) builder.addChunk(inputs.list[next++]);
        else builder.addAlias(c);
    }
    builder.addInfo();
    builder.finish();
    out.commit();
}
