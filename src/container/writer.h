// Writes a new chunk container: chunk data from offset 0 on, the enciphered
// directory appended at close. One module-level writer; shares the ErrorLatch
// with the reader (reader.h).
#pragma once

#include "format.h"
#include "platform.h"

// Finishes an open writer, then creates path. Returns the handle, or
// INVALID_HANDLE_VALUE when latched or the file cannot be created (latches).
HANDLE createContainer(const char* path);
// Copies the reader's chunk into the writer, transformed as request asks and
// fitted to the source entry. False when latched, reader or writer closed,
// directory full, name absent, or the transfer fails. Latches.
bool copyChunk(const char* name, TransferFlags request);
// Adds length bytes from memory as chunk name. False when latched, closed,
// directory full (these do not latch) or when the transfer fails (latches).
bool addChunkFromMemory(const void* data, int32_t length, const char* name, TransferFlags flags);
// Enters newName as a second name of existingName's data. False when latched,
// existingName is not in the writer, or the directory is full. Never latches.
bool aliasEntry(const char* newName, const char* existingName);
// Copies baseName, then baseName01, 02, ... up to the first that is missing or
// fails; leaves ErrorLatch as it found it.
void copyNumberedChunks(const char* baseName);
// The writer's open handle, or INVALID_HANDLE_VALUE.
HANDLE writerHandle();
