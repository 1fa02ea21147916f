// Window texts set by message, which spares the program two imports.
#pragma once

#include <windows.h>

inline void setWindowText(HWND window, const char* text) {
    SendMessageA(window, WM_SETTEXT, 0, (LPARAM)text);
}
inline void setItemText(HWND dialog, int id, const char* text) {
    SendDlgItemMessageA(dialog, id, WM_SETTEXT, 0, (LPARAM)text);
}
