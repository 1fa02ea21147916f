// On-disk format of a chunk container: named chunks behind any prefix, and an
// enciphered directory of 40-byte records in the file's last bytes.
//
//   offset 0                                                      file end
//   | prefix (any bytes) | chunk data, back to back | rec N-1 | ... | rec 0 |
//                                                   \__ one cipher run ___/
//
// Record k (entered k-th by the writer) lies at fileSize - 40*(k+1); record 0
// ends the file and its countOrLength holds N (1..32). A DirectoryEntry:
//
//   0 countOrLength  1 storage  2 xorKey  3 name[16]  19 dataOffset
//   23 storedSize  27 plainSize  31 markerOffset  35 recordLength(40)  36 magic
//
// Integers are little-endian and unaligned, so they are kept as byte arrays
// and read with le32()/putLe32(). Inline records hold up to 16 data bytes at
// offsets 23..38, overlaying the fields behind them.
#pragma once

#include <stddef.h>
#include <stdint.h>

enum : uint8_t { StorageStored = 0, StorageCompressed = 1, StorageInline = 0xFF };

constexpr uint32_t DirectoryMagic = 0x474C5545;  // bytes 45 55 4C 47
constexpr int DirectoryRecordSize = 40;
constexpr int DirectoryMaxRecords = 32;
constexpr int ChunkNameSize = 16;  // 15 characters and a NUL
constexpr int InlineDataOffset = 23;
constexpr int InlineMaxLength = 16;
constexpr const char* DirectoryKey = "TVOK";

struct DirectoryEntry {
    uint8_t countOrLength;
    uint8_t storage;
    uint8_t xorKey;
    char name[ChunkNameSize];
    uint8_t dataOffset[4];
    uint8_t storedSize[4];
    uint8_t plainSize[4];
    uint8_t markerOffset[4];
    uint8_t recordLength;
    uint8_t magic[4];
};
static_assert(sizeof(DirectoryEntry) == DirectoryRecordSize, "record size");
static_assert(offsetof(DirectoryEntry, name) == 3, "name offset");
static_assert(offsetof(DirectoryEntry, dataOffset) == 19, "dataOffset offset");
static_assert(offsetof(DirectoryEntry, storedSize) == InlineDataOffset, "inline data offset");
static_assert(offsetof(DirectoryEntry, plainSize) == 27, "plainSize offset");
static_assert(offsetof(DirectoryEntry, markerOffset) == 31, "markerOffset offset");
static_assert(offsetof(DirectoryEntry, recordLength) == 35, "recordLength offset");
static_assert(offsetof(DirectoryEntry, magic) == 36, "magic offset");

inline uint32_t le32(const uint8_t* p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}
inline void putLe32(uint8_t* p, uint32_t v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    p[2] = (uint8_t)(v >> 16);
    p[3] = (uint8_t)(v >> 24);
}
inline uint16_t le16(const uint8_t* p) { return (uint16_t)(p[0] | p[1] << 8); }
inline void putLe16(uint8_t* p, uint16_t v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}

// TransferFlags: how one chunk moves from a source to a target.
typedef uint32_t TransferFlags;
constexpr TransferFlags FlagKeyMask = 0x000000FF;  // XOR key byte
constexpr TransferFlags FlagCompress = 0x00000100;
constexpr TransferFlags FlagExpand = 0x00000200;   // wins over FlagCompress
constexpr TransferFlags FlagUnscramble = 0x00002000;
constexpr TransferFlags FlagMemoryTarget = 0x01000000;
constexpr TransferFlags FlagMemorySource = 0x02000000;
