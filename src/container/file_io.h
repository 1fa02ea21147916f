// Thin all-or-nothing file helpers over the platform calls.
#pragma once

#include <stdint.h>

#include "platform.h"

// Positions file at offset from its start. False when offset is 2^31 or more
// (container offsets are signed 32-bit) or the call fails.
bool seekTo(HANDLE file, uint32_t offset);
// The size of file (also above 4 GiB); false when it cannot be had.
bool fileSize(HANDLE file, uint64_t* size);
// Positions file at any 64-bit offset from its start; false on failure.
bool seekTo64(HANDLE file, uint64_t offset);
// True when all count bytes were read / written.
bool readAll(HANDLE file, void* buffer, uint32_t count);
bool writeAll(HANDLE file, const void* buffer, uint32_t count);
