#include "progress.h"

#include <commctrl.h>

#include "driver.h"
#include "install_sequence.h"
#include "messages.h"
#include "resource.h"
#include "settings.h"
#include "window_text.h"
#include "stream.h"

HWND ProgressDialogWindow;
int InstallPending = 1;
uint32_t PumpCounter;
int32_t ProgressBytes;

INT_PTR CALLBACK progressDialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        ProgressDialogWindow = dialog;
        placeOnDesktop(dialog, progressPlacement);
        setItemText(dialog, IDC_STATUS_TEXT, InstallerSettings.StatusText);
        WORD totalKiB = (WORD)(InstallerSettings.ProgressTotal / 1024);
        SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, totalKiB));
        BytesWrittenHook = addProgressBytes;
        PumpCallback = pumpMessages;
        setWindowText(dialog, InstallerCaption);
        return TRUE;
    }
    case WM_PAINT:
        PostMessageA(dialog, WM_START_SEQUENCE, 0, 0);
        break;
    case WM_START_SEQUENCE:
        if (InstallPending) {
            InstallPending = 0;
            Sleep(300);
            runInstallSequence();
        }
        break;
    }
    return FALSE;
}

void closeProgressDialog() {
    if (ProgressDialogWindow == nullptr) return;
    SetForegroundWindow(ProgressDialogWindow);
    Sleep(500);
    EndDialog(ProgressDialogWindow, 1);
    ProgressDialogWindow = nullptr;
}

void addProgressBytes(uint32_t count) {
    ProgressBytes = (int32_t)((uint32_t)ProgressBytes + count);
    if (ProgressDialogWindow != nullptr)
        SendDlgItemMessageA(ProgressDialogWindow, IDC_PROGRESS_BAR, PBM_SETPOS,
                            (WPARAM)(ProgressBytes / 1024), 0);
}

void pumpMessages() {
    if ((++PumpCounter & 127) != 0) return;
    int paintsInRow = 0;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_PAINT) {
            if (++paintsInRow == 3) break;
        } else {
            if (paintsInRow != 0) PumpCounter = 127;
            paintsInRow = 0;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
