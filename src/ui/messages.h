// Messages and confirmation: the message box with the installer's icon, the
// one-message-per-run rule, the question dialog and the foreground hand-over.
#pragma once

#include <windows.h>

#include "placement.h"

// 1 until the first message shown through showMessageOnce.
extern int MessageAllowed;

// MessageBoxIndirectA owned by MainWindow with icon 200 added to style.
// Returns its result (IDOK, IDYES, IDNO, ...; 0 when it could not be shown).
int showMessageBox(const char* text, const char* caption, UINT style);
// Closes the progress dialog and shows text with InstallerCaption, unless text
// is empty (then nothing happens) or a message was already shown this run.
void showMessageOnce(const char* text);
// Asks QuestionText with dialog 1030 and the settings' labels. Returns 1 when
// the user chose Yes; 0 for No, Escape, or when the dialog cannot be created.
int askQuestion();
INT_PTR CALLBACK questionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Moves window where rule (centredPlacement, progressPlacement) puts it on the
// desktop.
typedef Placement (*PlacementRule)(int, int, int, int, int, int, int, int);
void placeOnDesktop(HWND window, PlacementRule rule);
// Gives the foreground to the topmost visible, titled, not minimised and not
// always-on-top window among the first 64 top-level windows.
void restoreForegroundWindow();
