// Opening a container for the commands that inspect one (list, extract, cat,
// verify, info), with the reader of the core.
#pragma once

#include <cstdint>
#include <string>

#include "format.h"
#include "platform.h"

struct OpenedContainer {
    std::string path;
    uint64_t fileSize = 0;
    int32_t entryCount = 0;
    // Offset of the directory's first byte: chunk data lies before it.
    uint64_t directoryStart() const { return fileSize - (uint64_t)entryCount * DirectoryRecordSize; }
};

// Opens path as a container (the reader stays open on it). Throws
// CommandError: ExitIo when the file cannot be read, ExitInvalid when it holds
// no chunk directory.
OpenedContainer openContainerFile(const std::string& path);
// Closes the reader.
void closeContainerFile();

// A record's name as text; bytes that are not printable ASCII appear as \xNN.
std::string entryName(const DirectoryEntry& e);
// The record's name bytes (up to its NUL, at most 16).
std::string rawEntryName(const DirectoryEntry& e);
// "stored", "compressed", "inline", or "unknown (N)".
std::string storageName(uint8_t storage);
// Index of the first record named like record k (ASCII case ignored): k itself
// unless an earlier record takes its name.
int32_t firstRecordNamed(int32_t k);

// Where a record's data lies: false (with the problem in why) when it is not
// wholly before the directory.
bool chunkDataInside(const OpenedContainer& c, const DirectoryEntry& e, std::string& why);
// Writes a record's plain bytes to target: inline bytes, a stored chunk
// unscrambled, a compressed chunk expanded (each block checked). written gets
// the bytes written, also after a failure. False on a bad block, a short read
// or a failed write.
bool writePlainChunk(const DirectoryEntry& e, HANDLE target, uint64_t& written);
