#include "support.h"

#include <vector>

std::string tempPath(const char* name) {
    char directory[MAX_PATH];
    GetTempPathA(sizeof directory, directory);
    return std::string(directory) + "sswintest-" + name;
}

bool fileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string readFile(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD done = 0;
    if (!bytes.empty()) ReadFile(file, &bytes[0], (DWORD)bytes.size(), &done, nullptr);
    CloseHandle(file);
    bytes.resize(done);
    return bytes;
}

bool writeFile(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD done = 0;
    BOOL ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &done, nullptr);
    CloseHandle(file);
    return ok && done == bytes.size();
}

std::string windowsDirectory() {
    char directory[MAX_PATH];
    UINT length = GetWindowsDirectoryA(directory, sizeof directory);
    return std::string(directory, length);
}

bool haveDisplay() {
    static int known = -1;
    if (known >= 0) return known != 0;
    HWND probe = CreateWindowExA(0, "STATIC", "probe", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    known = probe != nullptr;
    if (probe != nullptr) DestroyWindow(probe);
    drainMessages();
    return known != 0;
}

void drainMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

namespace {
const char* WatchedCaption;
void (*WatchAction)(HWND);
std::vector<HWND> Seen;
UINT_PTR WatchTimer;

void CALLBACK watch(HWND, UINT, UINT_PTR, DWORD) {
    HWND window = FindWindowA(nullptr, WatchedCaption);
    if (window == nullptr || !IsWindowVisible(window)) return;
    for (HWND known : Seen)
        if (known == window) return;
    Seen.push_back(window);
    WatchAction(window);
}
}  // namespace

WindowWatcher::WindowWatcher(const char* caption, void (*act)(HWND)) {
    WatchedCaption = caption;
    WatchAction = act;
    Seen.clear();
    WatchTimer = SetTimer(nullptr, 0, 50, watch);
}

WindowWatcher::~WindowWatcher() { KillTimer(nullptr, WatchTimer); }

int WindowWatcher::seen() const { return (int)Seen.size(); }
