// The screensaver command line Windows uses: "/s" run full screen, "/p HWND"
// draw inside a preview window, "/c[:HWND]" settings, "/a" change password;
// and "/U", the uninstall command the installer registers. The switch may
// start with "/" or "-", in either letter case; a handle may follow after a
// colon or a space. No switch at all means settings.
#pragma once

#include <stdint.h>

enum class SaverMode { Configure, FullScreen, Preview, Password, Uninstall, Unknown };

struct SaverCommand {
    SaverMode mode;
    uintptr_t window;  // the handle after /p, /c or /a, 0 when none
};

// Parses the arguments that follow the program name (not the whole command
// line). Always succeeds; an unrecognised switch gives SaverMode::Unknown.
SaverCommand parseSaverCommand(const char* arguments);

// The arguments part of a full command line: what follows the program name,
// which may be quoted. Never null.
const char* skipProgramName(const char* commandLine);
