#include "uninstall.h"

#include <windows.h>
#include <string.h>

static const char UninstallRoot[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\UnInstall\\";

static bool sameText(const char* a, const char* b) { return lstrcmpiA(a, b) == 0; }

// True when value (a path from system.ini) names the file at ownPath: the
// same path, its 8.3 form, or a short form that expands to it.
static bool namesThisFile(const char* value, const char* ownPath) {
    if (!*value) return false;
    if (sameText(value, ownPath)) return true;
    char other[MAX_PATH];
    DWORD n = GetShortPathNameA(ownPath, other, sizeof other);
    if (n > 0 && n < sizeof other && sameText(value, other)) return true;
    char mine[MAX_PATH];
    DWORD m = GetLongPathNameA(ownPath, mine, sizeof mine);
    n = GetLongPathNameA(value, other, sizeof other);
    return m > 0 && m < sizeof mine && n > 0 && n < sizeof other && sameText(mine, other);
}

void uninstallSelf(UninstallReport* report) {
    memset(report, 0, sizeof *report);
    char ownPath[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, ownPath, sizeof ownPath);
    if (n == 0 || n >= sizeof ownPath) return;
    const char* slash = strrchr(ownPath, '\\');
    const char* name = slash ? slash + 1 : ownPath;
    strncpy(report->fileName, name, sizeof report->fileName - 1);

    char key[sizeof UninstallRoot + MAX_PATH];
    memcpy(key, UninstallRoot, sizeof UninstallRoot);
    strcat(key, name);
    report->keyRemoved = RegDeleteKeyA(HKEY_LOCAL_MACHINE, key) == ERROR_SUCCESS;

    char current[MAX_PATH];
    GetPrivateProfileStringA("boot", "SCRNSAVE.EXE", "", current, sizeof current, "system.ini");
    if (namesThisFile(current, ownPath)) {
        WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", nullptr, "system.ini");
        SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, SPIF_UPDATEINIFILE);
        report->iniCleared = true;
    }

    // A running program's file usually cannot be deleted: then at restart.
    if (DeleteFileA(ownPath)) {
        report->fileDeleted = true;
    } else if (MoveFileExA(ownPath, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
        report->deletionPending = true;
    }
}

void describeUninstall(const UninstallReport* report, char* out, int size) {
    char text[1024];
    strcpy(text, report->fileName);
    strcat(text, " has been uninstalled.\n\n");
    strcat(text, report->keyRemoved ? "Its uninstall entry was removed.\n"
                                    : "It had no uninstall entry.\n");
    if (report->iniCleared) strcat(text, "It is no longer the current screensaver.\n");
    if (report->fileDeleted) {
        strcat(text, "Its file was deleted.");
    } else if (report->deletionPending) {
        strcat(text, "Its file will be deleted when Windows restarts.");
    } else {
        strcat(text, "Its file could not be deleted; please delete it yourself.");
    }
    if (size <= 0) return;
    strncpy(out, text, (size_t)size - 1);
    out[size - 1] = 0;
}
