// Windows integration: paths in the Windows directory, the Display Properties
// window, the current screensaver and the uninstall entry.
#pragma once

#include <windows.h>

constexpr int SharedPathSize = MAX_PATH;
constexpr int WideValueSize = MAX_PATH;

// Windows directory, a backslash (unless it ends in one) and name, in the
// shared path buffer (overwritten by every call); "c:\win95" stands in when
// the directory cannot be obtained. Null when the path would not fit.
char* windowsDirPath(const char* name);
// The path of name in the Windows directory, in 8.3 form when name is not a
// valid 8.3 name and the file system gives a short name; else the long path.
// Shared path buffer; null when the path would not fit.
char* shortWindowsPath(const char* name);
// Each byte becomes the UTF-16 unit of the same value; with mapBar non-zero,
// 0xA6 becomes U+258C. Returns the wide value buffer, or null when too long.
const wchar_t* widenForProfile(const char* text, DWORD mapBar);

// The top-level window titled "Display Properties", or null.
HWND findDisplayProperties();
// Asks an open Display Properties window (and a dialog of ours it owns) to
// close; returns its handle, or null when none was open (no wait then).
HWND closeDisplayProperties();
// system.ini [boot] SCRNSAVE.EXE = the file's (short) path, then the
// screensaver is switched on. Failures are not reported.
void makeCurrentScreensaver(const char* fileName);
// The uninstall key of ScreensaverFileName with its DisplayName and
// UninstallString. Failures are not reported.
void registerUninstall();
// Sets a REG_SZ value under HKEY_LOCAL_MACHINE\keyPath (creating the key).
// Returns 1 when the value was set, 0 otherwise.
int setUninstallValue(const char* keyPath, const char* valueName, const char* text);

// Built for registerUninstall (exposed for tests): each returns 1, or 0 when
// the result would not fit its buffer.
constexpr int UninstallKeySize = 192;
constexpr int UninstallNameSize = 160;
constexpr int UninstallCommandSize = SharedPathSize + 8;
int formatUninstallKey(char* key, const char* screensaverFileName);
int formatUninstallDisplayName(char* name, const char* screensaverFileName);
