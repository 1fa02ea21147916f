// The installer's spine: module state of the driver, the install driver and
// the start-up check of the own file.
#pragma once

#include <windows.h>

#include "settings.h"

// ScreensaverFileName less its ".scr": never cut.
constexpr int InstallerCaptionSize = sizeof(InstallerSettingsRecord::ScreensaverFileName);

extern HINSTANCE ModuleInstance;
extern HWND MainWindow;
extern char InstallerCaption[InstallerCaptionSize];
extern int InstallSucceeded;

extern const char DamagedInstallerMessage[];

// Private message posted once from WM_CREATE to start the run.
constexpr UINT WM_START_INSTALL = WM_USER + 1;

// Process entry (WinMain form): registers the class, creates the hidden window
// and runs the message loop. Returns 0 always.
int installerMain(HINSTANCE instance);
LRESULT CALLBACK installerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The whole run, in its fixed order. Returns 0 always.
int runInstaller();
// Returns 1 when the run may go on, 0 after the damaged-file message (the own
// file was read but holds no valid directory).
int checkOwnContainer();
// Sets InstallerCaption to the screensaver file name less its last four
// characters (empty when it is shorter).
void setInstallerCaption(const char* screensaverFileName);
