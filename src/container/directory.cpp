// Locating, laying out and enciphering a container's directory; chunk names.
#include "directory.h"

#include <string.h>

#include "cipher.h"

int32_t locateDirectory(uint8_t* buffer, int32_t recordCount) {
    if (recordCount > DirectoryMaxRecords) recordCount = DirectoryMaxRecords;
    const uint32_t size = (uint32_t)recordCount * DirectoryRecordSize;
    for (int32_t n = 1; n <= recordCount; n++) {
        const uint32_t span = (uint32_t)n * DirectoryRecordSize;
        uint8_t* first = buffer + size - span;
        cipherSetKey(DirectoryKey);
        cipherRun(first, span, 0);
        const DirectoryEntry* last = locatedRecord(buffer, size, 0);
        if (le32(last->magic) == DirectoryMagic && last->countOrLength == (uint32_t)n) return n;
        cipherSetKey(DirectoryKey);
        cipherRun(first, span, 1);
    }
    return 0;
}

void layoutDirectory(const DirectoryEntry* entries, int32_t count, uint8_t* out) {
    for (int32_t k = 0; k < count; k++)
        memcpy(out + (uint32_t)(count - 1 - k) * DirectoryRecordSize, &entries[k], DirectoryRecordSize);
    DirectoryEntry* first = (DirectoryEntry*)(out + (uint32_t)(count - 1) * DirectoryRecordSize);
    first->countOrLength = (uint8_t)count;
    cipherSetKey(DirectoryKey);
    cipherRun(out, (uint32_t)count * DirectoryRecordSize, 1);
}

namespace {
char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? (char)(c + ('a' - 'A')) : c; }
}  // namespace

bool chunkNameEquals(const char* name, const char* recordName) {
    if (!name) return false;
    for (int i = 0; i < ChunkNameSize; i++) {
        if (lowerAscii(name[i]) != lowerAscii(recordName[i])) return false;
        if (!name[i]) return true;
    }
    return name[ChunkNameSize] == 0;
}

void setChunkName(char* recordName, const char* name) {
    int i = 0;
    if (name)
        for (; i < ChunkNameSize && name[i]; i++) recordName[i] = name[i];
    for (; i < ChunkNameSize; i++) recordName[i] = 0;
}
