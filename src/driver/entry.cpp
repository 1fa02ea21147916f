// Process entry of the installer: no C runtime, so the entry point is ours.
#include "driver.h"
#include "resource.h"

int installerMain(HINSTANCE instance) {
    ModuleInstance = instance;
    InstallSucceeded = 0;

    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = installerWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_INSTALLER));
    windowClass.hIconSm = (HICON)LoadImageA(instance, MAKEINTRESOURCEA(IDI_INSTALLER), IMAGE_ICON,
                                            GetSystemMetrics(SM_CXSMICON),
                                            GetSystemMetrics(SM_CYSMICON), 0);
    windowClass.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    windowClass.lpszClassName = "SsInstaller";
    RegisterClassExA(&windowClass);
    // Without its window nothing would ever end the message loop.
    if (!CreateWindowExA(0, "SsInstaller", "SsInstaller", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                         instance, nullptr))
        return 0;

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

LRESULT CALLBACK installerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        MainWindow = window;
        PostMessageA(window, WM_START_INSTALL, 0, 0);
        return 1;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 1;
    case WM_START_INSTALL:
        runInstaller();
        DestroyWindow(window);
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The linker places this at the start of the image: it is the module handle.
extern "C" IMAGE_DOS_HEADER __ImageBase;

// The image's entry point. The stack is realigned because Windows enters with
// only the alignment of a plain call.
extern "C" __attribute__((force_align_arg_pointer, noreturn)) void WinMainCRTStartup() {
    ExitProcess((UINT)installerMain((HINSTANCE)&__ImageBase));
}
