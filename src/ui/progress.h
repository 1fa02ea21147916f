// The progress dialog: runs the install sequence after it first paints, moves
// its bar by the bytes written and keeps the thread's messages flowing.
#pragma once

#include <windows.h>
#include <stdint.h>

// Posted on every paint; the first one starts the install sequence.
constexpr UINT WM_START_SEQUENCE = WM_USER + 3;

extern HWND ProgressDialogWindow;
extern int InstallPending;
extern uint32_t PumpCounter;
extern int32_t ProgressBytes;

INT_PTR CALLBACK progressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Brings the dialog to the front, pauses 500 ms and ends it; nothing when no
// progress dialog is open.
void closeProgressDialog();
// Installed as the stream layer's PumpCallback: on every 128th call,
// dispatches the thread's queued messages, stopping at a third WM_PAINT in a row.
void pumpMessages();
// Installed as the stream layer's BytesWrittenHook: adds count and moves the bar.
void addProgressBytes(uint32_t count);
