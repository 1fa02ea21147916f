// The Windows test program. Started with "--record", it only writes its own
// command line to the file named by SSWINTEST_RECORD: the association tests
// register it as the program that opens their documents.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <string.h>

#include "driver.h"

namespace {

// Under Wine, a window managed by a window manager that is not there (as under
// Xvfb) takes two seconds to go away; this program's windows need none. The
// setting is read when a program starts: when it had to be made, the program
// runs itself again.
bool windowsUnmanaged() {
    const char* path = "Software\\Wine\\AppDefaults\\ss_windows_tests.exe\\X11 Driver";
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return true;  // not Wine, or no registry: carry on
    char value[4] = "";
    DWORD size = sizeof value;
    bool already = RegQueryValueExA(key, "Managed", nullptr, nullptr, (BYTE*)value, &size) == ERROR_SUCCESS &&
                   strcmp(value, "N") == 0;
    if (!already) RegSetValueExA(key, "Managed", 0, REG_SZ, (const BYTE*)"N", 2);
    RegCloseKey(key);
    return already;
}

int runAgain() {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(nullptr, GetCommandLineA(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
        return 5;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 6;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return (int)code;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && strcmp(argv[1], "--record") == 0) {
        char path[MAX_PATH];
        DWORD length = GetEnvironmentVariableA("SSWINTEST_RECORD", path, sizeof path);
        if (length == 0 || length >= sizeof path) return 2;
        char temporary[MAX_PATH + 8];
        strcpy(temporary, path);
        strcat(temporary, ".part");
        HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return 3;
        const char* line = GetCommandLineA();
        DWORD written;
        WriteFile(file, line, (DWORD)strlen(line), &written, nullptr);
        CloseHandle(file);
        return MoveFileA(temporary, path) ? 0 : 4;  // appears whole or not at all
    }
    if (!windowsUnmanaged()) return runAgain();
    ModuleInstance = GetModuleHandleA(nullptr);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
