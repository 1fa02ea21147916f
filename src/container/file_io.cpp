// Thin all-or-nothing file helpers over the platform calls.
#include "file_io.h"

bool seekTo(HANDLE file, uint32_t offset) {
    if (offset > 0x7FFFFFFFu) return false;
    return SetFilePointer(file, (LONG)offset, nullptr, FILE_BEGIN) == offset;
}

bool fileSize(HANDLE file, uint64_t* size) {
    DWORD high = 0;
    DWORD low = GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && high == 0) return false;
    *size = (uint64_t)high << 32 | low;
    return true;
}

bool seekTo64(HANDLE file, uint64_t offset) {
    LONG high = (LONG)(offset >> 32);
    DWORD low = SetFilePointer(file, (LONG)(uint32_t)offset, &high, FILE_BEGIN);
    return low == (uint32_t)offset && (uint32_t)high == (uint32_t)(offset >> 32);
}

bool readAll(HANDLE file, void* buffer, uint32_t count) {
    DWORD done = 0;
    return ReadFile(file, buffer, count, &done, nullptr) && done == count;
}

bool writeAll(HANDLE file, const void* buffer, uint32_t count) {
    DWORD done = 0;
    return WriteFile(file, buffer, count, &done, nullptr) && done == count;
}
