// The reader: opening a container and finding its directory, closing, the
// queries on the directory last loaded, and the shared ErrorLatch.
#include "reader.h"

#include <string.h>

#include "directory.h"
#include "file_io.h"
#include "writer.h"

int32_t OpenStage;
bool ErrorLatch;
bool ErrorLatchEnabled;
ReaderState Reader = {INVALID_HANDLE_VALUE, 0};
DirectoryEntry ReaderDirectory[DirectoryMaxRecords];

namespace {

constexpr uint32_t ModulePathSize = 256;
char ModulePath[ModulePathSize];
// The file's last records as read; the directory is deciphered in place.
uint8_t TailBuffer[DirectoryMaxRecords * DirectoryRecordSize];

void closeReader() {
    CloseHandle(Reader.handle);
    Reader.handle = INVALID_HANDLE_VALUE;
}

// Reads the file's last records and searches them for the directory; leaves
// OpenStage at 2 or 3 as far as it got. True when a directory was loaded.
bool loadDirectory(HANDLE file) {
    uint64_t size = 0;
    bool sized = fileSize(file, &size);
    uint32_t records = (!sized || size >= (uint64_t)DirectoryMaxRecords * DirectoryRecordSize)
                           ? DirectoryMaxRecords
                           : (uint32_t)size / DirectoryRecordSize;
    uint32_t tail = records * DirectoryRecordSize;
    bool read = sized && seekTo64(file, size - tail) && readAll(file, TailBuffer, tail);
    OpenStage = OpenReadFailed;
    if (!read) return false;
    OpenStage = OpenDirectoryRead;
    int32_t count = locateDirectory(TailBuffer, (int32_t)records);
    if (count == 0) return false;
    for (int32_t k = 0; k < count; k++)
        memcpy(&ReaderDirectory[k], locatedRecord(TailBuffer, tail, k), DirectoryRecordSize);
    Reader.entryCount = count;
    return true;
}

}  // namespace

void setErrorLatch(bool enabled) {
    ErrorLatch = false;
    ErrorLatchEnabled = enabled;
}

HANDLE openContainer(const char* path) {
    if (Reader.handle != INVALID_HANDLE_VALUE) closeReader();
    OpenStage = OpenNotTried;
    if (ErrorLatch) return INVALID_HANDLE_VALUE;
    if (!path) {
        // A path cut to the buffer would name another file: no path then.
        DWORD n = GetModuleFileNameA(nullptr, ModulePath, ModulePathSize);
        path = (n > 0 && n < ModulePathSize) ? ModulePath : nullptr;
    }
    HANDLE file = path ? CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                       : INVALID_HANDLE_VALUE;
    OpenStage = OpenFileFailed;
    if (file != INVALID_HANDLE_VALUE) {
        Reader.handle = file;
        if (!loadDirectory(file)) closeReader();
    }
    ErrorLatch = Reader.handle == INVALID_HANDLE_VALUE && ErrorLatchEnabled;
    return Reader.handle;
}

void closeContainer(HANDLE handle) {
    if (handle == INVALID_HANDLE_VALUE) return;
    if (handle == Reader.handle)
        closeReader();
    else if (handle == writerHandle())
        finishWriter();
}

HANDLE createOutputFile(const char* path) {
    if (!path) return INVALID_HANDLE_VALUE;
    return CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

const DirectoryEntry* findEntry(const char* name, int mode) {
    for (int32_t k = 0; k < Reader.entryCount; k++) {
        const DirectoryEntry* e = &ReaderDirectory[k];
        if (!chunkNameEquals(name, e->name)) continue;
        bool isInline = e->storage == StorageInline;
        return (isInline ? (mode & MatchInline) : (mode & MatchStored)) ? e : nullptr;
    }
    return nullptr;
}

int32_t chunkStoredSize(const char* name) {
    const DirectoryEntry* e = findEntry(name, MatchStored);
    return e ? (int32_t)le32(e->storedSize) : -1;
}

int32_t chunkPlainSize(const char* name) {
    const DirectoryEntry* e = findEntry(name, MatchStored);
    return e ? (int32_t)le32(e->plainSize) : -1;
}

int32_t chunkExpansionSize(const char* name) {
    int32_t plain = chunkPlainSize(name);
    return plain != chunkStoredSize(name) ? plain : 0;
}

bool sameChunkData(const char* nameA, const char* nameB) {
    const DirectoryEntry* a = findEntry(nameA, MatchStored);
    const DirectoryEntry* b = findEntry(nameB, MatchStored);
    return a && b && le32(a->dataOffset) == le32(b->dataOffset);
}

int32_t readerEntryCount() { return Reader.entryCount; }

const DirectoryEntry* readerEntry(int32_t k) {
    return (k >= 0 && k < Reader.entryCount) ? &ReaderDirectory[k] : nullptr;
}

HANDLE readerHandle() { return Reader.handle; }
