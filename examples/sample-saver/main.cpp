// Sample screensaver: shows the text carried in its own "MOVIE" chunk over a
// star field. Modes as chosen by the command line (command_line.h).
#include <stdlib.h>
#include <windows.h>

#include "command_line.h"
#include "movie_text.h"
#include "scene.h"
#include "uninstall.h"

static const char WindowClass[] = "SampleSaverWindow";
static const char SaverTitle[] = "Sample Saver";
constexpr UINT FrameTimer = 1;
constexpr UINT FrameMs = 40;
constexpr int MouseSlack = 4;  // pixels the mouse may drift before the saver ends

static MovieText Movie;
static Scene TheScene;
static bool FullScreen;
static POINT FirstMouse;
static bool MouseSeen;

static LRESULT CALLBACK saverWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CREATE:
            SetTimer(hwnd, FrameTimer, FrameMs, nullptr);
            return 0;
        case WM_TIMER:
            sceneStep(&TheScene);
            InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_ERASEBKGND:
            return 1;  // the scene paints every pixel
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            RECT client;
            GetClientRect(hwnd, &client);
            sceneDraw(&TheScene, dc, client.right, client.bottom);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_MOUSEMOVE:
            if (FullScreen) {
                POINT at;
                GetCursorPos(&at);
                if (!MouseSeen) {
                    FirstMouse = at;
                    MouseSeen = true;
                } else if (abs(at.x - FirstMouse.x) > MouseSlack ||
                           abs(at.y - FirstMouse.y) > MouseSlack) {
                    DestroyWindow(hwnd);
                }
            }
            return 0;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            if (FullScreen) DestroyWindow(hwnd);
            return 0;
        case WM_SETCURSOR:
            if (FullScreen) {
                SetCursor(nullptr);
                return TRUE;
            }
            break;
        case WM_DESTROY:
            KillTimer(hwnd, FrameTimer);
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

static int runWindow(HINSTANCE instance, HWND parent) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = saverWindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = WindowClass;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    RegisterClassA(&wc);

    HWND hwnd;
    if (parent) {
        RECT area;
        if (!GetClientRect(parent, &area)) return 1;
        hwnd = CreateWindowExA(0, WindowClass, SaverTitle, WS_CHILD | WS_VISIBLE, 0, 0, area.right,
                               area.bottom, parent, nullptr, instance, nullptr);
    } else {
        FullScreen = true;
        int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
        int w = GetSystemMetrics(SM_CXVIRTUALSCREEN), h = GetSystemMetrics(SM_CYVIRTUALSCREEN);
        hwnd = CreateWindowExA(WS_EX_TOPMOST, WindowClass, SaverTitle, WS_POPUP | WS_VISIBLE, x, y,
                               w, h, nullptr, nullptr, instance, nullptr);
        if (hwnd) SetForegroundWindow(hwnd);
    }
    if (!hwnd) return 1;

    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    return 0;
}

static void showAbout(HWND owner) {
    char title[96];
    movieTitle(&Movie, title, sizeof title);
    char text[512];
    wsprintfA(text,
              "%s\n\nA sample screensaver. It shows the text carried in the MOVIE chunk of "
              "its own file%s.\n\nIt has no settings.",
              title, Movie.fromContainer ? "" : " (this copy carries none)");
    MessageBoxA(owner, text, SaverTitle, MB_OK | MB_ICONINFORMATION);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    SaverCommand command = parseSaverCommand(skipProgramName(GetCommandLineA()));
    switch (command.mode) {
        case SaverMode::Uninstall: {
            UninstallReport report;
            uninstallSelf(&report);
            char text[1024];
            describeUninstall(&report, text, sizeof text);
            MessageBoxA(nullptr, text, SaverTitle, MB_OK | MB_ICONINFORMATION);
            return 0;
        }
        case SaverMode::Password:
            return 0;  // no password of its own
        case SaverMode::Unknown:
            MessageBoxA(nullptr, "Usage: /s (run), /p HWND (preview), /c (settings), /U (uninstall)",
                        SaverTitle, MB_OK);
            return 1;
        default:
            break;
    }
    loadMovieText(&Movie);
    sceneInit(&TheScene, &Movie);
    if (command.mode == SaverMode::Configure) {
        showAbout((HWND)command.window);
        return 0;
    }
    HWND parent = command.mode == SaverMode::Preview ? (HWND)command.window : nullptr;
    if (parent && !IsWindow(parent)) return 1;
    return runWindow(instance, parent);
}
