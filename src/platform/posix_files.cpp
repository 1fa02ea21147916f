// kernel32 file calls over POSIX for the native build (see platform.h).
#include "platform.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int fdOf(HANDLE h) { return (int)(intptr_t)h; }
HANDLE handleOf(int fd) { return (HANDLE)(intptr_t)fd; }
bool isValid(HANDLE h) { return h != INVALID_HANDLE_VALUE && fdOf(h) >= 0; }

}  // namespace

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD, SECURITY_ATTRIBUTES*, DWORD disposition,
                   DWORD, HANDLE) {
    if (!path) return INVALID_HANDLE_VALUE;
    int flags = O_CLOEXEC;
    bool r = access & GENERIC_READ, w = access & GENERIC_WRITE;
    flags |= (r && w) ? O_RDWR : w ? O_WRONLY : O_RDONLY;
    switch (disposition) {
        case CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; break;
        case OPEN_ALWAYS: flags |= O_CREAT; break;
        case OPEN_EXISTING: break;
        default: return INVALID_HANDLE_VALUE;
    }
    int fd;
    do fd = open(path, flags, 0666); while (fd < 0 && errno == EINTR);
    if (fd < 0) return INVALID_HANDLE_VALUE;
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(fd);
        return INVALID_HANDLE_VALUE;
    }
    return handleOf(fd);
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD done, OVERLAPPED*) {
    if (done) *done = 0;
    if (!isValid(file)) return FALSE;
    // Like ReadFile on a disk file: keep reading until count or end of file.
    DWORD total = 0;
    while (total < count) {
        ssize_t n = read(fdOf(file), (char*)buffer + total, count - total);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            if (done) *done = total;
            return FALSE;
        }
        if (n == 0) break;
        total += (DWORD)n;
    }
    if (done) *done = total;
    return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD done, OVERLAPPED*) {
    if (done) *done = 0;
    if (!isValid(file)) return FALSE;
    DWORD total = 0;
    while (total < count) {
        ssize_t n = write(fdOf(file), (const char*)buffer + total, count - total);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (done) *done = total;
            return FALSE;
        }
        total += (DWORD)n;
    }
    if (done) *done = total;
    return TRUE;
}

DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method) {
    if (!isValid(file)) return INVALID_SET_FILE_POINTER;
    int64_t offset = distanceHigh ? ((int64_t)*distanceHigh << 32) | (uint32_t)distance
                                  : (int64_t)distance;
    int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR : SEEK_END;
    off_t pos = lseek(fdOf(file), (off_t)offset, whence);
    if (pos < 0) return INVALID_SET_FILE_POINTER;
    if (distanceHigh) *distanceHigh = (LONG)((int64_t)pos >> 32);
    return (DWORD)pos;
}

DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh) {
    struct stat st;
    if (!isValid(file) || fstat(fdOf(file), &st) != 0) return INVALID_FILE_SIZE;
    if (sizeHigh) *sizeHigh = (DWORD)((uint64_t)st.st_size >> 32);
    return (DWORD)st.st_size;
}

BOOL SetEndOfFile(HANDLE file) {
    if (!isValid(file)) return FALSE;
    off_t pos = lseek(fdOf(file), 0, SEEK_CUR);
    return pos >= 0 && ftruncate(fdOf(file), pos) == 0;
}

BOOL CloseHandle(HANDLE file) {
    if (!isValid(file)) return FALSE;
    return close(fdOf(file)) == 0;
}

BOOL DeleteFileA(LPCSTR path) { return path && unlink(path) == 0; }

static const char* modulePathOverride = nullptr;

void platformSetModulePath(const char* path) { modulePathOverride = path; }

DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) {
    if (module || !buffer || size == 0) return 0;
    if (modulePathOverride) {
        // Truncates like the real call; the result is then unusable as a path.
        DWORD n = 0;
        while (modulePathOverride[n] && n + 1 < size) { buffer[n] = modulePathOverride[n]; ++n; }
        buffer[n] = 0;
        return n;
    }
    ssize_t n = readlink("/proc/self/exe", buffer, size - 1);
    if (n <= 0) return 0;
    buffer[n] = 0;
    return (DWORD)n;
}

UINT GetACP(void) {
    const char* acp = getenv("SSPACK_ACP");
    if (acp && *acp) return (UINT)strtoul(acp, nullptr, 10);
    return 1252;
}
