#include "files.h"

#include <csignal>
#include <cstdio>
#include <cstring>

#include "command.h"

#ifdef _WIN32
#include "text_encoding.h"
#else
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace {

bool isSeparator(char c) {
#ifdef _WIN32
    return c == '/' || c == '\\';
#else
    return c == '/';
#endif
}

// The one temporary output that an interrupt must remove.
char PendingTemp[4096];

#ifndef _WIN32
void removePendingTemp(int sig) {
    if (PendingTemp[0]) unlink(PendingTemp);
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

void watchInterrupts() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) std::signal(sig, removePendingTemp);
}
#endif

void setPendingTemp(const std::string& path) {
    if (path.size() < sizeof PendingTemp) {
        std::memcpy(PendingTemp, path.c_str(), path.size() + 1);
    } else {
        PendingTemp[0] = 0;
    }
#ifndef _WIN32
    watchInterrupts();
#endif
}

void removeFile(const std::string& path) {
#ifdef _WIN32
    DeleteFileW(widen(path).c_str());
#else
    unlink(path.c_str());
#endif
}

}  // namespace

std::string dirName(const std::string& path) {
    size_t i = path.size();
    while (i > 0 && !isSeparator(path[i - 1])) --i;
    if (i == 0) return ".";
    size_t end = i;
    while (end > 1 && isSeparator(path[end - 1])) --end;  // keep a lone root
    return path.substr(0, end);
}

std::string baseName(const std::string& path) {
    size_t i = path.size();
    while (i > 0 && !isSeparator(path[i - 1])) --i;
    return path.substr(i);
}

bool isAbsolutePath(const std::string& path) {
    if (!path.empty() && isSeparator(path[0])) return true;
#ifdef _WIN32
    if (path.size() >= 2 && path[1] == ':') return true;
#endif
    return false;
}

std::string joinPath(const std::string& dir, const std::string& rel) {
    if (isAbsolutePath(rel) || dir.empty() || dir == ".") return rel;
    if (isSeparator(dir.back())) return dir + rel;
#ifdef _WIN32
    return dir + "\\" + rel;
#else
    return dir + "/" + rel;
#endif
}

#ifdef _WIN32

std::string lastErrorText() {
    DWORD code = GetLastError();
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, (wchar_t*)&text, 0, nullptr);
    std::string out = text ? narrow(text) : "error " + std::to_string(code);
    if (text) LocalFree(text);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.'))
        out.pop_back();
    return out;
}

HANDLE openForReading(const std::string& path, std::string& why) {
    HANDLE h = CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) why = isDirectory(path) ? "is a folder" : lastErrorText();
    return h;
}

bool handleSize(HANDLE file, uint64_t& size) {
    LARGE_INTEGER n;
    if (!GetFileSizeEx(file, &n)) return false;
    size = (uint64_t)n.QuadPart;
    return true;
}

bool sameFile(const std::string& a, const std::string& b) {
    auto identity = [](const std::string& p, BY_HANDLE_FILE_INFORMATION& info) {
        HANDLE h = CreateFileW(widen(p).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        bool ok = GetFileInformationByHandle(h, &info);
        CloseHandle(h);
        return ok;
    };
    BY_HANDLE_FILE_INFORMATION ia, ib;
    if (!identity(a, ia) || !identity(b, ib)) return false;
    return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

bool pathExists(const std::string& path) {
    return GetFileAttributesW(widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool isDirectory(const std::string& path) {
    DWORD a = GetFileAttributesW(widen(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool makeDirectories(const std::string& dir, std::string& why) {
    if (isDirectory(dir)) return true;
    std::string parent = dirName(dir);
    if (parent != dir && parent != "." && !makeDirectories(parent, why)) return false;
    if (!CreateDirectoryW(widen(dir).c_str(), nullptr) && !isDirectory(dir)) {
        why = lastErrorText();
        return false;
    }
    return true;
}

std::string ownDirectory() {
    wchar_t buf[32768];
    DWORD n = GetModuleFileNameW(nullptr, buf, 32768);
    if (n == 0 || n >= 32768) return std::string();
    return dirName(narrow(std::wstring(buf, n)));
}

HANDLE standardOutput() { return GetStdHandle(STD_OUTPUT_HANDLE); }

HANDLE openNullDevice() {
    return CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string pathForCoreCalls(const std::string& path) {
    std::wstring wide = widen(path);
    BOOL lost = FALSE;
    int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, nullptr, 0,
                                nullptr, &lost);
    if (n > 0 && !lost) {
        std::string ansi((size_t)n, '\0');
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, &ansi[0], n, nullptr,
                            nullptr);
        ansi.resize((size_t)n - 1);
        return ansi;
    }
    // Not expressible in the ANSI code page: the short form is.
    wchar_t shortPath[32768];
    DWORD m = GetShortPathNameW(wide.c_str(), shortPath, 32768);
    if (m == 0 || m >= 32768) return path;
    std::string out;
    for (DWORD i = 0; i < m; i++) out += (char)shortPath[i];
    return out;
}

#else

std::string lastErrorText() { return std::strerror(errno); }

HANDLE openForReading(const std::string& path, std::string& why) {
    if (isDirectory(path)) {
        why = "is a folder";
        return INVALID_HANDLE_VALUE;
    }
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) why = lastErrorText();
    return h;
}

bool handleSize(HANDLE file, uint64_t& size) {
    DWORD high = 0;
    DWORD low = GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && high == 0) return false;
    size = (uint64_t)high << 32 | low;
    return true;
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool pathExists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

bool isDirectory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool makeDirectories(const std::string& dir, std::string& why) {
    if (isDirectory(dir)) return true;
    std::string parent = dirName(dir);
    if (parent != dir && parent != "." && !makeDirectories(parent, why)) return false;
    if (mkdir(dir.c_str(), 0777) != 0 && !isDirectory(dir)) {
        why = lastErrorText();
        return false;
    }
    return true;
}

std::string ownDirectory() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return std::string();
    return dirName(std::string(buf, (size_t)n));
}

// Handles of the native platform layer are file descriptors.
HANDLE standardOutput() { return (HANDLE)(intptr_t)STDOUT_FILENO; }

std::string pathForCoreCalls(const std::string& path) { return path; }

HANDLE openNullDevice() {
    return CreateFileA("/dev/null", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

#endif

OutputFile::OutputFile(std::string finalPath) : finalPath_(std::move(finalPath)) {
    if (isDirectory(finalPath_))
        throw CommandError{ExitIo, finalPath_ + ": cannot write: is a folder"};
    std::string dir = dirName(finalPath_);
#ifdef _WIN32
    unsigned long pid = GetCurrentProcessId();
#else
    unsigned long pid = (unsigned long)getpid();
#endif
    tempPath_ = joinPath(dir, "." + baseName(finalPath_) + ".sspack-" + std::to_string(pid) + ".tmp");
    setPendingTemp(tempPath_);
#ifdef _WIN32
    handle_ = CreateFileW(widen(tempPath_).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
#else
    handle_ = CreateFileA(tempPath_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
#endif
    if (handle_ == INVALID_HANDLE_VALUE) {
        std::string why = lastErrorText();
        PendingTemp[0] = 0;
        throw CommandError{ExitIo, finalPath_ + ": cannot write: " + why};
    }
}

OutputFile::~OutputFile() {
    if (committed_) return;
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    removeFile(tempPath_);
    PendingTemp[0] = 0;
}

void OutputFile::commit() {
    bool closed = CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    std::string why;
    if (!closed) {
        why = lastErrorText();
    } else {
#ifdef _WIN32
        if (!MoveFileExW(widen(tempPath_).c_str(), widen(finalPath_).c_str(),
                         MOVEFILE_REPLACE_EXISTING))
            why = lastErrorText();
#else
        if (std::rename(tempPath_.c_str(), finalPath_.c_str()) != 0) why = lastErrorText();
#endif
    }
    if (!why.empty()) {
        removeFile(tempPath_);
        PendingTemp[0] = 0;
        committed_ = true;
        throw CommandError{ExitIo, finalPath_ + ": cannot write: " + why};
    }
    committed_ = true;
    PendingTemp[0] = 0;
}
