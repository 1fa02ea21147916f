#include "messages.h"

#include "driver.h"
#include "progress.h"
#include "resource.h"
#include "settings.h"
#include "window_text.h"

int MessageAllowed = 1;

int showMessageBox(const char* text, const char* caption, UINT style) {
    MSGBOXPARAMSA params = {};
    params.cbSize = sizeof params;
    params.hwndOwner = MainWindow;
    params.hInstance = ModuleInstance;
    params.lpszText = text;
    params.lpszCaption = caption;
    params.dwStyle = style | MB_USERICON;
    params.lpszIcon = MAKEINTRESOURCEA(IDI_INSTALLER);
    return MessageBoxIndirectA(&params);
}

void showMessageOnce(const char* text) {
    if (text[0] == 0) return;
    closeProgressDialog();
    if (!MessageAllowed) return;
    MessageAllowed = 0;
    showMessageBox(text, InstallerCaption, MB_OK);
}

int askQuestion() {
    return DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(QuestionDialogId), nullptr,
                           questionDialogProc, 0) == IDYES;
}

INT_PTR CALLBACK questionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        placeOnDesktop(dialog, centredPlacement);
        setWindowText(dialog, InstallerCaption);
        setItemText(dialog, IDC_QUESTION_TEXT, InstallerSettings.QuestionText);
        setItemText(dialog, IDYES, InstallerSettings.YesLabel);
        setItemText(dialog, IDNO, InstallerSettings.NoLabel);
        return TRUE;
    }
    if (message == WM_COMMAND) {
        WORD id = LOWORD(wParam);
        if (id == IDYES || id == IDNO || id == IDCANCEL) EndDialog(dialog, id);
    }
    return FALSE;
}

void placeOnDesktop(HWND window, PlacementRule rule) {
    RECT desktop, rect;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(window, &rect);
    Placement p = rule(desktop.left, desktop.top, desktop.right, desktop.bottom, rect.left, rect.top,
                       rect.right, rect.bottom);
    MoveWindow(window, p.x, p.y, p.width, p.height, TRUE);
}

void restoreForegroundWindow() {
    char title[128];
    HWND window = GetWindow(GetDesktopWindow(), GW_CHILD);
    for (int examined = 0; examined < 64 && window != nullptr; examined++) {
        if (IsWindow(window) && !IsIconic(window) && IsWindowVisible(window) &&
            GetWindowTextA(window, title, sizeof title) > 0 &&
            (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) == 0) {
            SetForegroundWindow(window);
            return;
        }
        window = GetWindow(window, GW_HWNDNEXT);
    }
}
