// Test program standing in for the Display Properties control panel: a
// visible top-level window titled "Display Properties".
//
//   --watch PATH   when told to quit, record whether PATH exists at that
//                  moment: "display-properties: quit, target absent|present"
//                  in C:\e2e-record.txt
//   --hold-ms N    keep PATH open, unshared, from start until N ms after the
//                  quit request (a preview that still uses the old file)
//   --stubborn     record the quit request but keep running
//   --preview SCR  run "SCR /p HWND" to draw inside a 160 x 120 preview area
//                  of this window, as the control panel does
#include <windows.h>
#include <string.h>

static void appendRecord(const char* line) {
    HANDLE f = CreateFileA("C:\\e2e-record.txt", FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    DWORD done = 0;
    WriteFile(f, line, (DWORD)strlen(line), &done, nullptr);
    WriteFile(f, "\r\n", 2, &done, nullptr);
    CloseHandle(f);
}

// The word after option in cmd, unquoted, into out; false when absent.
static bool optionValue(const char* cmd, const char* option, char* out, size_t size) {
    const char* p = strstr(cmd, option);
    if (!p) return false;
    p += strlen(option);
    while (*p == ' ') ++p;
    char end = ' ';
    if (*p == '"') { end = '"'; ++p; }
    size_t n = 0;
    while (p[n] && p[n] != end) ++n;
    if (n >= size) return false;
    memcpy(out, p, n);
    out[n] = 0;
    return true;
}

static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        static const char text[] = "Test stand-in";
        TextOutA(dc, 10, 10, text, (int)strlen(text));
        EndPaint(hwnd, &ps);
        return 0;
    }
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    const char* cmd = GetCommandLineA();
    char watch[MAX_PATH] = "";
    char number[16] = "0";
    bool watching = optionValue(cmd, "--watch", watch, sizeof watch);
    optionValue(cmd, "--hold-ms", number, sizeof number);
    DWORD holdMs = 0;
    for (const char* d = number; *d >= '0' && *d <= '9'; ++d) holdMs = holdMs * 10 + (DWORD)(*d - '0');
    bool stubborn = strstr(cmd, "--stubborn") != nullptr;

    HANDLE held = INVALID_HANDLE_VALUE;
    if (watching && holdMs) {
        held = CreateFileA(watch, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        appendRecord(held != INVALID_HANDLE_VALUE ? "display-properties: holding target"
                                                  : "display-properties: target not held");
    }

    WNDCLASSA wc = {};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    wc.lpszClassName = "E2EDisplayProperties";
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(0, wc.lpszClassName, "Display Properties",
                                WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 40, 40, 400,
                                160, nullptr, nullptr, instance, nullptr);
    if (!hwnd) return 1;

    char saver[MAX_PATH];
    if (optionValue(cmd, "--preview", saver, sizeof saver)) {
        HWND area = CreateWindowExA(0, "Static", "", WS_CHILD | WS_VISIBLE | SS_BLACKRECT, 220, 4, 160,
                                    120, hwnd, nullptr, instance, nullptr);
        char line[MAX_PATH + 40];
        wsprintfA(line, "\"%s\" /p %lu", saver, (unsigned long)(uintptr_t)area);
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi;
        if (CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
            appendRecord("display-properties: preview started");
        } else {
            appendRecord("display-properties: preview failed");
        }
    }

    MSG m;
    for (;;) {
        BOOL got = GetMessageA(&m, nullptr, 0, 0);
        if (got == -1) return 1;
        if (got == 0) {
            if (watching) {
                DWORD attributes = GetFileAttributesA(watch);
                appendRecord(attributes == INVALID_FILE_ATTRIBUTES
                                 ? "display-properties: quit, target absent"
                                 : "display-properties: quit, target present");
            } else {
                appendRecord("display-properties: quit");
            }
            if (stubborn) continue;
            break;
        }
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    if (held != INVALID_HANDLE_VALUE) {
        Sleep(holdMs);
        CloseHandle(held);
    }
    return 0;
}
