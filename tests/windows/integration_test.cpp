// Windows integration on the real system (under Wine): paths in the Windows
// directory and their short forms, the profile write of the current
// screensaver, the uninstall entry.
#include <gtest/gtest.h>
#include <windows.h>
#include <string.h>

#include <string>

#include "format.h"
#include "driver.h"
#include "integration.h"
#include "settings.h"
#include "support.h"

namespace {

TEST(WindowsPaths, WindowsDirPathJoinsTheWindowsDirectory) {
    EXPECT_EQ(std::string(windowsDirPath("MYSAVER.scr")), windowsDirectory() + "\\MYSAVER.scr");
    // The directory plus a name of 259 characters or more does not fit.
    std::string tooLong(MAX_PATH - windowsDirectory().size() - 1, 'n');
    EXPECT_EQ(windowsDirPath(tooLong.c_str()), nullptr);
    tooLong.pop_back();
    ASSERT_NE(windowsDirPath(tooLong.c_str()), nullptr);
    EXPECT_EQ(strlen(windowsDirPath(tooLong.c_str())), (size_t)MAX_PATH - 1);
}

class ShortPaths : public testing::Test {
protected:
    void SetUp() override {
        longName = "SsWinTest Long Name.scr";
        longPath = windowsDirectory() + "\\" + longName;
        ASSERT_TRUE(writeFile(longPath, "x"));
    }
    void TearDown() override { DeleteFileA(longPath.c_str()); }
    std::string longName, longPath;
};

TEST_F(ShortPaths, ShortNamesAndMissingFilesKeepTheLongPath) {
    EXPECT_EQ(std::string(shortWindowsPath("MYSAVER.scr")), windowsDirectory() + "\\MYSAVER.scr");
    EXPECT_EQ(std::string(shortWindowsPath("SsWinTest Missing Name.scr")),
              windowsDirectory() + "\\SsWinTest Missing Name.scr");
    // A wildcard must not pick up another file's short name.
    EXPECT_EQ(std::string(shortWindowsPath("SsWinTest Long*.scr")), windowsDirectory() + "\\SsWinTest Long*.scr");
}

TEST_F(ShortPaths, ALongNameGetsTheShortNameOfItsFile) {
    char expected[MAX_PATH];
    DWORD length = GetShortPathNameA(longPath.c_str(), expected, sizeof expected);
    ASSERT_GT(length, 0u);
    if (longPath == expected) GTEST_SKIP() << "this file system gives no 8.3 names";
    std::string got = shortWindowsPath(longName.c_str());
    EXPECT_EQ(got, expected);
    EXPECT_NE(got, longPath);
}

TEST(WindowsProfile, WidenForProfile) {
    const wchar_t* wide = widenForProfile("C:\\A\xA6\xFF.scr", 0);
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(std::wstring(wide), std::wstring(L"C:\\A\x00A6\x00FF.scr"));
    wide = widenForProfile("C:\\A\xA6\xFF.scr", 1252);
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(std::wstring(wide), std::wstring(L"C:\\A\x258C\x00FF.scr"));
    EXPECT_EQ(std::wstring(widenForProfile("", 1)), std::wstring(L""));

    std::string longest(WideValueSize - 1, 'w');
    ASSERT_NE(widenForProfile(longest.c_str(), 0), nullptr);
    EXPECT_EQ(wcslen(widenForProfile(longest.c_str(), 0)), longest.size());
    longest += 'w';
    EXPECT_EQ(widenForProfile(longest.c_str(), 0), nullptr);
}

// Restores system.ini [boot] SCRNSAVE.EXE after the test.
class CurrentScreensaver : public testing::Test {
protected:
    void SetUp() override {
        had = GetPrivateProfileStringW(L"boot", L"SCRNSAVE.EXE", L"\x1", saved, MAX_PATH, L"system.ini") > 0 &&
              saved[0] != 1;
        memset(InfoRecordBuffer, 0, sizeof InfoRecordBuffer);
    }
    void TearDown() override {
        WritePrivateProfileStringW(L"boot", L"SCRNSAVE.EXE", had ? saved : nullptr, L"system.ini");
        memset(InfoRecordBuffer, 0, sizeof InfoRecordBuffer);
    }
    std::wstring current() {
        wchar_t value[MAX_PATH];
        GetPrivateProfileStringW(L"boot", L"SCRNSAVE.EXE", L"", value, MAX_PATH, L"system.ini");
        return value;
    }
    static std::wstring widen(const std::string& text) {
        std::wstring wide;
        for (unsigned char c : text) wide += (wchar_t)c;
        return wide;
    }
    bool had = false;
    wchar_t saved[MAX_PATH];
};

TEST_F(CurrentScreensaver, WritesThePathToSystemIni) {
    makeCurrentScreensaver("SSWT.scr");
    EXPECT_EQ(current(), widen(windowsDirectory() + "\\SSWT.scr"));
    BOOL active = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &active, 0);
    EXPECT_TRUE(active);
}

// The wide write maps 0xA6 to U+258C when the texts name a code page; an ANSI
// system.ini stores that as 0xA6 again, so the path arrives byte for byte.
TEST_F(CurrentScreensaver, AHighByteArrivesIntactWithAndWithoutACodePage) {
    for (uint32_t codePage : {0u, 1252u}) {
        putLe32(InfoRecordBuffer + InfoRecord::TextCodePage, codePage);
        makeCurrentScreensaver("SSW\xA6.scr");  // not 8.3 and no file: the long path
        char value[MAX_PATH];
        GetPrivateProfileStringA("boot", "SCRNSAVE.EXE", "", value, sizeof value, "system.ini");
        EXPECT_EQ(std::string(value), windowsDirectory() + "\\SSW\xA6.scr") << codePage;
    }
}

std::string readValue(const std::string& key, const char* name) {
    HKEY handle;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return "<no key>";
    char value[512];
    DWORD type = 0, size = sizeof value;
    LONG status = RegQueryValueExA(handle, name, nullptr, &type, (BYTE*)value, &size);
    RegCloseKey(handle);
    if (status != ERROR_SUCCESS) return "<no value>";
    if (type != REG_SZ) return "<not REG_SZ>";
    return std::string(value, size > 0 ? size - 1 : 0);
}

TEST(UninstallEntry, RegistersNameAndCommand) {
    const std::string prefix = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\UnInstall\\";
    struct Case {
        std::string stem;
    };
    const Case cases[] = {
        {"SsWinTest Saver"},
        {std::string("SsWinTest ") + std::string(117, 'L')},  // the longest name: 127 characters
    };
    for (const Case& c : cases) {
        std::string fileName = c.stem + ".scr";
        ASSERT_LT(fileName.size(), sizeof InstallerSettings.ScreensaverFileName);
        strcpy(InstallerSettings.ScreensaverFileName, fileName.c_str());
        registerUninstall();
        std::string key = prefix + fileName;
        EXPECT_EQ(readValue(key, "DisplayName"), "Screensaver (" + c.stem + ")") << fileName;
        EXPECT_EQ(readValue(key, "UninstallString"), windowsDirectory() + "\\" + fileName + " /U") << fileName;
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
    }
}

TEST(UninstallEntry, NamesOfFourCharactersOrLess) {
    char name[UninstallNameSize];
    ASSERT_EQ(formatUninstallDisplayName(name, ".scr"), 1);
    EXPECT_STREQ(name, "Screensaver ()");
    ASSERT_EQ(formatUninstallDisplayName(name, "1"), 1);
    EXPECT_STREQ(name, "Screensaver ()");
    char key[UninstallKeySize];
    ASSERT_EQ(formatUninstallKey(key, "MySaver.scr"), 1);
    EXPECT_STREQ(key, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\UnInstall\\MySaver.scr");
}

TEST(UninstallEntry, SetUninstallValueReportsSuccess) {
    const char* key = "SOFTWARE\\SsWinTest\\Uninstall";
    EXPECT_EQ(setUninstallValue(key, "Probe", "value"), 1);
    EXPECT_EQ(readValue(key, "Probe"), "value");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\SsWinTest");
}

}  // namespace

namespace {

// A window of this thread standing in for Display Properties, and one of ours
// that it owns; both note the commands they get.
class DisplayProperties : public testing::Test {
protected:
    static int cancels;
    static LRESULT CALLBACK note(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) cancels++;
        return DefWindowProcA(window, message, wParam, lParam);
    }
    void SetUp() override {
        if (!haveDisplay()) GTEST_SKIP() << "no display";
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = note;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "SsWinTestProperties";
        RegisterClassA(&windowClass);
        cancels = 0;
        strcpy(InstallerCaption, "SsWinTest Owned");
    }
    void TearDown() override {
        if (owned) DestroyWindow(owned);
        if (properties) DestroyWindow(properties);
        drainMessages();
    }
    void open(bool withOwned) {
        properties = CreateWindowExA(0, "SsWinTestProperties", "Display Properties", WS_OVERLAPPEDWINDOW, 0, 0,
                                     100, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(properties, nullptr);
        if (withOwned) {
            owned = CreateWindowExA(0, "SsWinTestProperties", "SsWinTest Owned", WS_POPUP, 0, 0, 50, 50,
                                    properties, nullptr, GetModuleHandleA(nullptr), nullptr);
            ASSERT_NE(owned, nullptr);
        }
    }
    HWND properties = nullptr, owned = nullptr;
};
int DisplayProperties::cancels;

TEST_F(DisplayProperties, NoneOpen) {
    EXPECT_EQ(findDisplayProperties(), nullptr);
    DWORD start = GetTickCount();
    EXPECT_EQ(closeDisplayProperties(), nullptr);
    EXPECT_LT(GetTickCount() - start, 250u);  // no waiting
}

TEST_F(DisplayProperties, OpenWithADialogOfOurs) {
    open(true);
    EXPECT_EQ(findDisplayProperties(), properties);
    DWORD start = GetTickCount();
    EXPECT_EQ(closeDisplayProperties(), properties);
    EXPECT_GE(GetTickCount() - start, 380u);  // 100 ms after the cancel, 300 ms after the quit
    EXPECT_EQ(cancels, 1);
}

TEST_F(DisplayProperties, OpenAlone) {
    open(false);
    DWORD start = GetTickCount();
    EXPECT_EQ(closeDisplayProperties(), properties);
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 280u);
    EXPECT_LT(elapsed, 380u);  // only the wait after the quit
    EXPECT_EQ(cancels, 0);
}

}  // namespace
