// On-disk frame of compressed chunk data: the codec stream cut into checksummed
// blocks, written back to back.
//
//   offset 0      2          4         6
//   | magic "RC" | checksum | length  | payload (length - 6 bytes) |
//     52 43        u16 LE     u16 LE
//
//   checksum = 0x68A5 + sum of the payload bytes, modulo 65536
//   length   = header + payload, 6..10240
//
// A compressed chunk: one 10-byte block whose payload is the 4-byte expanded
// size, then full 10240-byte blocks of codes for as long as the codes fill
// them, then one final block of 6..10239 bytes holding the rest (6 bytes with
// no payload when the codes end exactly at a block boundary). The final block
// is always written, so the chunk always ends in a block shorter than 10240.
#pragma once

#include <stddef.h>
#include <stdint.h>

constexpr uint16_t RcBlockMagic = 0x4352;      // bytes 52 43
constexpr uint16_t RcChecksumSeed = 0x68A5;
constexpr uint32_t RcHeaderSize = 6;
constexpr uint32_t RcBlockMaxSize = 10240;
constexpr uint32_t RcFirstBlockSize = 10;      // header + 4-byte expanded size

struct RcBlockHeader {
    uint8_t magic[2];
    uint8_t checksum[2];
    uint8_t length[2];
};
static_assert(sizeof(RcBlockHeader) == RcHeaderSize, "header size");
static_assert(offsetof(RcBlockHeader, checksum) == 2, "checksum offset");
static_assert(offsetof(RcBlockHeader, length) == 4, "length offset");
static_assert(RcFirstBlockSize == RcHeaderSize + 4, "first block holds the size alone");

// 0x68A5 plus every byte as an unsigned value, modulo 65536.
inline uint16_t blockChecksum(const uint8_t* bytes, uint32_t count) {
    uint32_t sum = RcChecksumSeed;
    for (uint32_t i = 0; i < count; i++) sum += bytes[i];
    return (uint16_t)sum;
}
