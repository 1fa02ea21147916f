// Test program that records how it was started: appends one line
// "<own path>|<command line>" to C:\e2e-record.txt and exits 0.
//
// Serves as the SAVER chunk of test installers (installed as NAME.scr and
// started with " /s") and as the open command of a test file association.
// "--hold N" keeps the file named by the last argument open, unshared, for N
// seconds before exiting, like a viewer that has the document open.
#include <windows.h>
#include <string.h>

static void appendRecord(const char* line) {
    HANDLE f = INVALID_HANDLE_VALUE;
    // Another recorder may be writing at the same moment: retry briefly.
    for (int i = 0; i < 50 && f == INVALID_HANDLE_VALUE; ++i) {
        f = CreateFileA("C:\\e2e-record.txt", FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f == INVALID_HANDLE_VALUE) Sleep(20);
    }
    if (f == INVALID_HANDLE_VALUE) return;
    DWORD done = 0;
    WriteFile(f, line, (DWORD)strlen(line), &done, nullptr);
    WriteFile(f, "\r\n", 2, &done, nullptr);
    CloseHandle(f);
}

// Copies the last argument of cmd (quotes removed) into out.
static void lastArgument(const char* cmd, char* out, size_t size) {
    const char* start = nullptr;
    size_t length = 0;
    const char* p = cmd;
    while (*p) {
        while (*p == ' ' || *p == '\t') ++p;
        if (!*p) break;
        if (*p == '"') {
            start = ++p;
            while (*p && *p != '"') ++p;
            length = (size_t)(p - start);
            if (*p) ++p;
        } else {
            start = p;
            while (*p && *p != ' ' && *p != '\t') ++p;
            length = (size_t)(p - start);
        }
    }
    if (!start || length >= size) length = 0;
    memcpy(out, start ? start : "", length);
    out[length] = 0;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    static char line[4096];
    const char* cmd = GetCommandLineA();
    DWORD n = GetModuleFileNameA(nullptr, line, 1024);
    if (n >= 1024) n = 0;
    line[n] = '|';
    size_t cmdLength = strlen(cmd);
    if (cmdLength > sizeof line - n - 2) cmdLength = sizeof line - n - 2;
    memcpy(line + n + 1, cmd, cmdLength);
    line[n + 1 + cmdLength] = 0;
    appendRecord(line);

    const char* hold = strstr(cmd, "--hold ");
    if (hold) {
        int seconds = 0;
        for (const char* d = hold + 7; *d >= '0' && *d <= '9'; ++d) seconds = seconds * 10 + (*d - '0');
        char path[MAX_PATH];
        lastArgument(cmd, path, sizeof path);
        HANDLE f = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        appendRecord(f != INVALID_HANDLE_VALUE ? "hold: opened" : "hold: open failed");
        // Wait as a viewer does, serving messages: whoever started this program
        // may be waiting for it to become idle.
        DWORD end = GetTickCount() + (DWORD)seconds * 1000;
        for (;;) {
            MSG m;
            while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
            DWORD now = GetTickCount();
            if ((LONG)(end - now) <= 0) break;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
        }
        if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    }
    return 0;
}
