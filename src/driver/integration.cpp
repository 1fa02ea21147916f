#include "integration.h"

#include <string.h>

#include "driver.h"
#include "file_names.h"
#include "settings.h"
#include "text.h"

static char SharedPath[SharedPathSize];
static wchar_t WideValue[WideValueSize];

char* windowsDirPath(const char* name) {
    UINT length = GetWindowsDirectoryA(SharedPath, SharedPathSize);
    if (length == 0 || length >= (UINT)SharedPathSize) copyText(SharedPath, SharedPathSize, "c:\\win95");
    return appendPathName(SharedPath, SharedPathSize, name) ? SharedPath : nullptr;
}

char* shortWindowsPath(const char* name) {
    char* longPath = windowsDirPath(name);
    // A wildcard would make the lookup report another file's short name.
    if (longPath == nullptr || isShortName(name) || strpbrk(name, "*?") != nullptr) return longPath;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(longPath, &found);
    if (search == INVALID_HANDLE_VALUE) return longPath;
    FindClose(search);
    char shortName[sizeof found.cAlternateFileName + 1];
    copyField(shortName, found.cAlternateFileName, sizeof found.cAlternateFileName);
    if (shortName[0] == 0) return longPath;
    return windowsDirPath(shortName);
}

const wchar_t* widenForProfile(const char* text, DWORD mapBar) {
    size_t length = strlen(text);
    if (length >= (size_t)WideValueSize) return nullptr;
    for (size_t i = 0; i <= length; i++) {
        unsigned char c = (unsigned char)text[i];
        WideValue[i] = (mapBar != 0 && c == 0xA6) ? (wchar_t)0x258C : (wchar_t)c;
    }
    return WideValue;
}

HWND findDisplayProperties() { return FindWindowA(nullptr, "Display Properties"); }

static void dropOneMessage() {
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);
}

HWND closeDisplayProperties() {
    HWND properties = findDisplayProperties();
    if (properties == nullptr) return nullptr;
    HWND ours = FindWindowA(nullptr, InstallerCaption);
    if (ours != nullptr && GetParent(ours) == properties) {
        SendMessageA(ours, WM_COMMAND, IDCANCEL, 0);
        dropOneMessage();
        Sleep(100);
    }
    PostMessageA(properties, WM_QUIT, 0, 0);
    dropOneMessage();
    Sleep(300);
    return properties;
}

void makeCurrentScreensaver(const char* fileName) {
    const char* path = shortWindowsPath(fileName);
    if (path != nullptr) {
        OSVERSIONINFOA version;
        version.dwOSVersionInfoSize = sizeof version;
        GetVersionExA(&version);
        if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) {
            const wchar_t* wide = widenForProfile(path, infoField32(InfoRecord::TextCodePage));
            if (wide != nullptr) WritePrivateProfileStringW(L"boot", L"SCRNSAVE.EXE", wide, L"system.ini");
        } else {
            WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", path, "system.ini");
        }
    }
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 1, nullptr, SPIF_UPDATEINIFILE);
}

int setUninstallValue(const char* keyPath, const char* valueName, const char* text) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return 0;
    LONG status = RegSetValueExA(key, valueName, 0, REG_SZ, (const BYTE*)text, (DWORD)strlen(text) + 1);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

int formatUninstallKey(char* key, const char* screensaverFileName) {
    key[0] = 0;
    return appendText(key, UninstallKeySize, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\UnInstall\\") &&
           appendText(key, UninstallKeySize, screensaverFileName);
}

int formatUninstallDisplayName(char* name, const char* screensaverFileName) {
    size_t length = strlen(screensaverFileName);
    size_t stem = length >= 4 ? length - 4 : 0;
    static const char prefix[] = "Screensaver (";
    if (sizeof prefix - 1 + stem + 2 > (size_t)UninstallNameSize) return 0;
    memcpy(name, prefix, sizeof prefix - 1);
    memcpy(name + sizeof prefix - 1, screensaverFileName, stem);
    memcpy(name + sizeof prefix - 1 + stem, ")", 2);
    return 1;
}

void registerUninstall() {
    const char* fileName = InstallerSettings.ScreensaverFileName;
    char key[UninstallKeySize];
    char displayName[UninstallNameSize];
    char command[UninstallCommandSize];
    if (!formatUninstallKey(key, fileName) || !formatUninstallDisplayName(displayName, fileName)) return;
    const char* path = windowsDirPath(fileName);
    if (path == nullptr || !copyText(command, sizeof command, path) ||
        !appendText(command, sizeof command, " /U"))
        return;
    setUninstallValue(key, "DisplayName", displayName);
    setUninstallValue(key, "UninstallString", command);
}
