// Writes a new chunk container: chunk data from offset 0 on, the enciphered
// directory appended at close. One module-level writer; shares the ErrorLatch
// with the reader (reader.h).
#pragma once

#include "format.h"
#include "platform.h"

// The one writer. handle is INVALID_HANDLE_VALUE while closed; dataOffset is
// where the next chunk's data goes (advanced by every byte a transfer wrote,
// also by a failed one). WriterEntries are kept in plain form, numbered in the
// order entered; entry 0 will end the file.
struct WriterState {
    HANDLE handle;
    int32_t entryCount;
    uint32_t dataOffset;
};
extern WriterState Writer;
extern DirectoryEntry WriterEntries[DirectoryMaxRecords];

// Finishes an open writer, then creates path. Returns the handle, or
// INVALID_HANDLE_VALUE when latched or the file cannot be created (latches).
HANDLE createContainer(const char* path);
// Copies the reader's chunk into the writer, transformed as request asks and
// fitted to the source entry. False when latched, reader or writer closed,
// directory full, name absent, the request holds a key byte, or the transfer
// fails. Latches (not when it was already latched).
bool copyChunk(const char* name, TransferFlags request);
// Adds length bytes from memory as chunk name. False when latched, closed,
// directory full (these do not latch) or when the transfer fails (latches).
bool addChunkFromMemory(const void* data, int32_t length, const char* name, TransferFlags flags);
// Enters newName as a second name of existingName's data. False when latched,
// the writer is closed, existingName is not in it, or the directory is full.
// Never latches.
bool aliasEntry(const char* newName, const char* existingName);
// Copies baseName, then baseName01, 02, ... up to the first that is missing or
// fails; leaves ErrorLatch as it found it.
void copyNumberedChunks(const char* baseName);
// The writer's open handle, or INVALID_HANDLE_VALUE.
HANDLE writerHandle();

// Internal to the container layer.
// closeContainer's writer branch: writes the enciphered directory when there
// are entries and closes the file. A failed directory write sets ErrorLatch
// when latching is on (the file is then no container).
void finishWriter();
// The next free entry, or null when the directory holds 32.
DirectoryEntry* nextFreeEntry();
// Fills the next free entry (nothing when full): storage Compressed when flags
// hold FlagCompress else Stored, xorKey the key byte; markerOffset becomes -1
// when it is 0 or not below plainSize.
void appendEntry(const char* name, TransferFlags flags, uint32_t storedSize, uint32_t plainSize,
                 uint32_t dataOffset, int32_t markerOffset);
