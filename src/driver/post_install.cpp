#include "post_install.h"

#include <string.h>

#include "command_line.h"
#include "install_sequence.h"
#include "integration.h"
#include "settings.h"
#include "text.h"
#include "wininit_edit.h"

int DeleteDocumentLater;

static char RegistryValue[RegistryValueSize];
static char AssociatedCommand[AssociatedCommandSize];

char* readRegistryString(HKEY root, const char* subKey, const char* valueName) {
    HKEY key;
    if (RegOpenKeyA(root, subKey, &key) != ERROR_SUCCESS) return nullptr;
    DWORD type = REG_NONE;
    DWORD size = RegistryValueSize;
    LONG status = RegQueryValueExA(key, valueName, nullptr, &type, (BYTE*)RegistryValue, &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || size > (DWORD)RegistryValueSize) return nullptr;
    if (size == 0 || RegistryValue[size - 1] != 0) {
        if (size == (DWORD)RegistryValueSize) return nullptr;
        RegistryValue[size] = 0;
    }
    if (type == REG_EXPAND_SZ) {
        char expanded[RegistryValueSize];
        DWORD length = ExpandEnvironmentStringsA(RegistryValue, expanded, RegistryValueSize);
        if (length == 0 || length > (DWORD)RegistryValueSize) return nullptr;
        copyField(RegistryValue, expanded, RegistryValueSize - 1);
    }
    return RegistryValue;
}

int launchAssociated(const char* target, const char* extension) {
    const char* className = readRegistryString(HKEY_CLASSES_ROOT, extension, nullptr);
    if (className == nullptr || !copyText(AssociatedCommand, AssociatedCommandSize, className) ||
        !appendText(AssociatedCommand, AssociatedCommandSize, "\\shell\\Open\\Command"))
        return 0;
    char* command = readRegistryString(HKEY_CLASSES_ROOT, AssociatedCommand, nullptr);
    if (command == nullptr ||
        !buildAssociatedCommand(AssociatedCommand, AssociatedCommandSize, command, target))
        return 0;
    return WinExec(AssociatedCommand, SW_SHOWNORMAL) >= 32;
}

int openWithAssociation(const char* target) {
    if (strstr(target, "://") != nullptr) return launchAssociated(target, ".html");
    const char* extension = strrchr(target, '.');
    if (extension == nullptr) return 0;
    return launchAssociated(target, extension);
}

int runPostInstallAction() {
    switch (InstallerSettings.PostInstallAction) {
    case 0:
        return 1;
    case 1:
        if (findDisplayProperties() == nullptr)
            WinExec(InstallerSettings.DisplayPropertiesCommand, SW_SHOWNORMAL);
        break;
    case 2: {
        char command[SharedPathSize + 4];
        const char* path = windowsDirPath(InstallerSettings.ScreensaverFileName);
        if (path != nullptr && copyText(command, sizeof command, path) &&
            appendText(command, sizeof command, " /s"))
            WinExec(command, SW_SHOWNORMAL);
        break;
    }
    case 3:
        if (openWithAssociation(TempDocumentPath))
            DeleteDocumentLater = 1;
        else
            DeleteFileA(TempDocumentPath);
        break;
    }
    return 0;
}

void deleteTempDocument() {
    if (!DeleteDocumentLater) return;
    Sleep(5000);
    if (!DeleteFileA(TempDocumentPath)) scheduleRenameAtRestart(TempDocumentPath, "NUL");
}

int scheduleRenameInWinInit(const char* iniPath, const char* existingPath, const char* newName) {
    char line[RenameLineCapacity];
    uint32_t lineLength = formatRenameLine(line, newName, existingPath);
    if (lineLength == 0) return 0;
    HANDLE file = CreateFileA(iniPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;

    DWORD size = GetFileSize(file, nullptr);
    DWORD finalSize = size;
    int result = 0;
    // The mapping grows the file by this much; the growth is cut off again.
    DWORD growth = lineLength + WinInitGrowth;
    if (size != INVALID_FILE_SIZE && size <= 0x7FFFFFFFu - growth) {
        HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READWRITE, 0, size + growth, nullptr);
        if (mapping != nullptr) {
            uint8_t* view = (uint8_t*)MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0);
            if (view != nullptr) {
                uint32_t edited;
                if (editWinInitText(view, size + growth, size, line, lineLength, &edited)) {
                    finalSize = edited;
                    result = 1;
                }
                UnmapViewOfFile(view);
            }
            CloseHandle(mapping);
        }
    }
    if (size != INVALID_FILE_SIZE) {
        SetFilePointer(file, (LONG)finalSize, nullptr, FILE_BEGIN);
        SetEndOfFile(file);
    }
    CloseHandle(file);
    return result;
}

int scheduleRenameAtRestart(const char* existingPath, const char* newName) {
    // MoveFileExA deletes when given no new name; "NUL" is WinInit.ini's form.
    const char* moveTarget = strcmp(newName, "NUL") == 0 ? nullptr : newName;
    BOOL moved = MoveFileExA(existingPath, moveTarget, MOVEFILE_DELAY_UNTIL_REBOOT);
    if (moved) return moved;
    char iniPath[SharedPathSize + 16];
    UINT length = GetWindowsDirectoryA(iniPath, SharedPathSize);
    if (length == 0 || length >= (UINT)SharedPathSize) return 0;
    appendText(iniPath, sizeof iniPath, "\\WinInit.Ini");
    return scheduleRenameInWinInit(iniPath, existingPath, newName);
}
