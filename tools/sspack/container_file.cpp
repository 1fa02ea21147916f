#include "container_file.h"

#include <cstdio>

#include "command.h"
#include "directory.h"
#include "files.h"
#include "file_io.h"
#include "reader.h"
#include "transfer.h"

OpenedContainer openContainerFile(const std::string& path) {
    OpenedContainer c;
    c.path = path;
    std::string why;
    HANDLE h = openForReading(path, why);
    if (h == INVALID_HANDLE_VALUE) throw CommandError{ExitIo, path + ": cannot read: " + why};
    bool sized = handleSize(h, c.fileSize);
    CloseHandle(h);
    if (!sized) throw CommandError{ExitIo, path + ": cannot read its size"};
    if (openContainer(pathForCoreCalls(path).c_str()) == INVALID_HANDLE_VALUE) {
        if (OpenStage == OpenDirectoryRead)
            throw CommandError{ExitInvalid,
                               path + ": no chunk directory found: not an installer or "
                                      "screensaver container, or damaged (cut short or "
                                      "changed at its end)"};
        throw CommandError{ExitIo, path + ": cannot read its last bytes"};
    }
    c.entryCount = readerEntryCount();
    return c;
}

void closeContainerFile() { closeContainer(readerHandle()); }

std::string rawEntryName(const DirectoryEntry& e) {
    size_t n = 0;
    while (n < sizeof e.name && e.name[n]) ++n;
    return std::string(e.name, n);
}

std::string entryName(const DirectoryEntry& e) {
    std::string out;
    for (unsigned char c : rawEntryName(e)) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += (char)c;
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    return out;
}

std::string storageName(uint8_t storage) {
    switch (storage) {
        case StorageStored: return "stored";
        case StorageCompressed: return "compressed";
        case StorageInline: return "inline";
        default: return "unknown (" + std::to_string(storage) + ")";
    }
}

int32_t firstRecordNamed(int32_t k) {
    std::string name = rawEntryName(*readerEntry(k));
    for (int32_t j = 0; j < k; j++)
        if (chunkNameEquals(name.c_str(), readerEntry(j)->name)) return j;
    return k;
}

bool chunkDataInside(const OpenedContainer& c, const DirectoryEntry& e, std::string& why) {
    if (e.storage == StorageInline) return true;
    uint64_t start = le32(e.dataOffset), end = start + le32(e.storedSize);
    if (end > c.directoryStart()) {
        why = "its data (bytes " + std::to_string(start) + " to " + std::to_string(end) +
              ") runs past the chunk data, which ends at byte " + std::to_string(c.directoryStart());
        return false;
    }
    return true;
}

bool writePlainChunk(const DirectoryEntry& e, HANDLE target, uint64_t& written) {
    written = 0;
    if (e.storage == StorageInline) {
        int32_t n = (int8_t)e.countOrLength;
        if (n < 0 || n > InlineMaxLength) n = 0;
        if (!writeAll(target, (const uint8_t*)&e + InlineDataOffset, (uint32_t)n)) return false;
        written = (uint64_t)n;
        return true;
    }
    if (!seekTo(readerHandle(), le32(e.dataOffset))) return false;
    int32_t length = (int32_t)le32(e.storedSize);
    if (length < 0) return false;
    TransferFlags flags = e.storage == StorageCompressed ? FlagExpand : e.xorKey;
    bool ok = transferChunk(fileEnd(readerHandle()), fileEnd(target), length, flags);
    written = length < 0 ? 0 : (uint64_t)length;
    return ok;
}
