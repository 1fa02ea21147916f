// The writer's container and directory: create, finish, entries, aliases.
#include "writer.h"

#include <string.h>

#include "directory.h"
#include "file_io.h"
#include "reader.h"

WriterState Writer = {INVALID_HANDLE_VALUE, 0, 0};
DirectoryEntry WriterEntries[DirectoryMaxRecords];

namespace {
uint8_t DirectoryBuffer[DirectoryMaxRecords * DirectoryRecordSize];

// Counts an entry just filled and keeps the count in entry 0.
void countEntry() {
    Writer.entryCount++;
    WriterEntries[0].countOrLength = (uint8_t)Writer.entryCount;
}
}  // namespace

HANDLE writerHandle() { return Writer.handle; }

void finishWriter() {
    if (Writer.handle == INVALID_HANDLE_VALUE) return;
    if (Writer.entryCount > 0) {
        layoutDirectory(WriterEntries, Writer.entryCount, DirectoryBuffer);
        // A file without its directory is no container: a failed write (a
        // full disk) latches, so that the caller deletes the file.
        if (!writeAll(Writer.handle, DirectoryBuffer, (uint32_t)Writer.entryCount * DirectoryRecordSize) &&
            ErrorLatchEnabled)
            ErrorLatch = true;
    }
    CloseHandle(Writer.handle);
    Writer.handle = INVALID_HANDLE_VALUE;
}

HANDLE createContainer(const char* path) {
    finishWriter();
    Writer.entryCount = 0;
    Writer.dataOffset = 0;
    if (!ErrorLatch) {
        Writer.handle = createOutputFile(path);
        if (Writer.handle == INVALID_HANDLE_VALUE && ErrorLatchEnabled) ErrorLatch = true;
    }
    return Writer.handle;
}

DirectoryEntry* nextFreeEntry() {
    return Writer.entryCount < DirectoryMaxRecords ? &WriterEntries[Writer.entryCount] : nullptr;
}

void appendEntry(const char* name, TransferFlags flags, uint32_t storedSize, uint32_t plainSize,
                 uint32_t dataOffset, int32_t markerOffset) {
    DirectoryEntry* e = nextFreeEntry();
    if (!e) return;
    e->countOrLength = 0;
    e->storage = (flags & FlagCompress) ? StorageCompressed : StorageStored;
    e->xorKey = (uint8_t)(flags & FlagKeyMask);
    setChunkName(e->name, name);
    putLe32(e->dataOffset, dataOffset);
    putLe32(e->storedSize, storedSize);
    putLe32(e->plainSize, plainSize);
    if (markerOffset == 0 || markerOffset >= (int32_t)plainSize) markerOffset = -1;
    putLe32(e->markerOffset, (uint32_t)markerOffset);
    e->recordLength = DirectoryRecordSize;
    putLe32(e->magic, DirectoryMagic);
    countEntry();
}

bool aliasEntry(const char* newName, const char* existingName) {
    if (ErrorLatch || Writer.handle == INVALID_HANDLE_VALUE) return false;
    DirectoryEntry* copy = nextFreeEntry();
    if (!copy) return false;
    for (int32_t k = 0; k < Writer.entryCount; k++) {
        if (!chunkNameEquals(existingName, WriterEntries[k].name)) continue;
        memcpy(copy, &WriterEntries[k], DirectoryRecordSize);
        setChunkName(copy->name, newName);
        countEntry();
        return true;
    }
    return false;
}
