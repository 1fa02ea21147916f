// Post-install actions on the real system (under Wine): registry reads, the
// program started through an association, and the deletion at restart.
#include <gtest/gtest.h>
#include <windows.h>
#include <string.h>

#include <string>

#include "driver_wininit_cases.h"
#include "post_install.h"
#include "support.h"
#include "wininit_edit.h"

namespace {

const char* TestKey = "Software\\SsWinTest";

class RegistryStrings : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, TestKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        RegCloseKey(key);
        RegDeleteKeyA(HKEY_CURRENT_USER, TestKey);
    }
    void set(const char* name, DWORD type, const std::string& bytes) {
        ASSERT_EQ(RegSetValueExA(key, name, 0, type, (const BYTE*)bytes.data(), (DWORD)bytes.size()), ERROR_SUCCESS);
    }
    std::string read(const char* name) {
        const char* value = readRegistryString(HKEY_CURRENT_USER, TestKey, name);
        return value ? value : "<null>";
    }
    HKEY key;
};

TEST_F(RegistryStrings, ReadsAndExpands) {
    SetEnvironmentVariableA("SSWINTEST_DIR", "C:\\Tools");
    set(nullptr, REG_SZ, std::string("default", 8));
    set("plain", REG_SZ, std::string("plain text", 11));
    set("expand", REG_EXPAND_SZ, std::string("%SSWINTEST_DIR%\\view.exe", 25));
    set("unended", REG_SZ, "abc");  // stored without its terminator
    set("longest", REG_SZ, std::string(255, 'x') + '\0');
    set("binary", REG_BINARY, std::string("\x01\x02", 2));
    EXPECT_EQ(read(nullptr), "default");
    EXPECT_EQ(read("plain"), "plain text");
    EXPECT_EQ(read("expand"), "C:\\Tools\\view.exe");
    EXPECT_EQ(read("unended"), "abc");
    EXPECT_EQ(read("longest"), std::string(255, 'x'));
    EXPECT_EQ(read("binary"), "\x01\x02");
    EXPECT_EQ(read("missing"), "<null>");
    EXPECT_EQ(readRegistryString(HKEY_CURRENT_USER, "Software\\SsWinTest\\Missing", nullptr), nullptr);
}

TEST_F(RegistryStrings, RefusesWhatDoesNotFitTheBuffer) {
    std::string big(300, 'v');
    SetEnvironmentVariableA("SSWINTEST_BIG", big.c_str());
    set("toolong", REG_SZ, std::string(256, 'x') + '\0');
    set("full", REG_BINARY, std::string(256, 'b'));  // no room for a terminator
    set("bigexpansion", REG_EXPAND_SZ, std::string("%SSWINTEST_BIG%", 16));
    EXPECT_EQ(read("toolong"), "<null>");
    EXPECT_EQ(read("full"), "<null>");
    EXPECT_EQ(read("bigexpansion"), "<null>");
}

// Registers extension -> class -> shell\Open\Command under HKEY_CLASSES_ROOT
// and removes them again.
class Association {
public:
    Association(const char* extension, const char* className, DWORD type, const std::string& command)
        : extension_(extension), className_(className) {
        setDefault(extension, className);
        if (!command.empty()) {
            HKEY key;
            std::string path = className_ + "\\shell\\Open\\Command";
            RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
            RegSetValueExA(key, nullptr, 0, type, (const BYTE*)command.c_str(), (DWORD)command.size() + 1);
            RegCloseKey(key);
        } else {
            setDefault(className, "no command");
        }
    }
    ~Association() {
        RegDeleteTreeA(HKEY_CLASSES_ROOT, extension_.c_str());
        RegDeleteTreeA(HKEY_CLASSES_ROOT, className_.c_str());
    }

private:
    static void setDefault(const char* path, const char* value) {
        HKEY key;
        RegCreateKeyExA(HKEY_CLASSES_ROOT, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        RegSetValueExA(key, nullptr, 0, REG_SZ, (const BYTE*)value, (DWORD)strlen(value) + 1);
        RegCloseKey(key);
    }
    std::string extension_, className_;
};

std::string selfPath() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    return path;
}

// The command line the recording program was started with, once it appears.
std::string awaitRecord(const std::string& file) {
    for (int i = 0; i < 200 && !fileExists(file); i++) Sleep(50);
    return readFile(file);
}

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(Associations, StartsTheRegisteredProgramWithTheTarget) {
    std::string record = tempPath("record-quoted.txt");
    DeleteFileA(record.c_str());
    SetEnvironmentVariableA("SSWINTEST_RECORD", record.c_str());
    Association association(".sswtq", "SsWinTest.Quoted", REG_SZ, "\"" + selfPath() + "\" --record %s%d \"%1\"");
    EXPECT_EQ(launchAssociated("C:\\some dir\\doc.sswtq", ".sswtq"), 1);
    EXPECT_TRUE(endsWith(awaitRecord(record), "--record %s%d \"C:\\some dir\\doc.sswtq\"")) << readFile(record);
    DeleteFileA(record.c_str());
}

TEST(Associations, ExpandsTheCommand) {
    std::string record = tempPath("record-expanded.txt");
    DeleteFileA(record.c_str());
    SetEnvironmentVariableA("SSWINTEST_RECORD", record.c_str());
    SetEnvironmentVariableA("SSWINTEST_SELF", selfPath().c_str());
    Association association(".sswte", "SsWinTest.Expanded", REG_EXPAND_SZ,
                            "\"%SSWINTEST_SELF%\" --record %1 %* %*");
    EXPECT_EQ(openWithAssociation("C:\\dir.v2\\doc.sswte"), 1);
    EXPECT_TRUE(endsWith(awaitRecord(record), "--record C:\\dir.v2\\doc.sswte    %*")) << readFile(record);
    DeleteFileA(record.c_str());
}

TEST(Associations, NothingToStart) {
    EXPECT_EQ(openWithAssociation("C:\\folder\\nodot"), 0);
    EXPECT_EQ(launchAssociated("C:\\a.sswtnone", ".sswtnone"), 0);  // no class
    Association noCommand(".sswtn", "SsWinTest.NoCommand", REG_SZ, "");
    EXPECT_EQ(openWithAssociation("C:\\a.sswtn"), 0);
    Association missingProgram(".sswtm", "SsWinTest.Missing", REG_SZ, "C:\\no\\such\\program.exe \"%1\"");
    EXPECT_EQ(openWithAssociation("C:\\a.sswtm"), 0);
}

TEST(Associations, RefusesACommandLineThatDoesNotFit) {
    Association association(".sswtl", "SsWinTest.Long", REG_SZ, std::string(200, 'c') + " \"%1\"");
    std::string target = "C:\\" + std::string(190, 't') + ".sswtl";
    EXPECT_EQ(launchAssociated(target.c_str(), ".sswtl"), 0);
}

// The WinInit.ini route, on real files through a file mapping.
TEST(WinInitFile, EditCases) {
    std::string ini = tempPath("wininit.ini");
    size_t count;
    const wininit_cases::Case* cases = wininit_cases::cases(&count);
    for (size_t i = 0; i < count; i++) {
        const wininit_cases::Case& c = cases[i];
        ASSERT_TRUE(writeFile(ini, c.before));
        EXPECT_EQ(scheduleRenameInWinInit(ini.c_str(), wininit_cases::ExistingPath, wininit_cases::NewName), 1)
            << c.name;
        EXPECT_EQ(readFile(ini), c.after) << c.name;  // at its final length, growth cut off
    }
    DeleteFileA(ini.c_str());
}

TEST(WinInitFile, AbsentFileIsCreated) {
    std::string ini = tempPath("wininit-absent.ini");
    DeleteFileA(ini.c_str());
    EXPECT_EQ(scheduleRenameInWinInit(ini.c_str(), wininit_cases::ExistingPath, wininit_cases::NewName), 1);
    EXPECT_EQ(readFile(ini), std::string("[Rename]\r\n") + wininit_cases::Line);
    DeleteFileA(ini.c_str());
}

TEST(WinInitFile, FailuresLeaveTheFileAlone) {
    // No such folder: nothing to open.
    EXPECT_EQ(scheduleRenameInWinInit("C:\\no\\such\\folder\\WinInit.Ini", "C:\\x", "NUL"), 0);
    // Held open by another program (share mode 0 is refused).
    std::string ini = tempPath("wininit-held.ini");
    ASSERT_TRUE(writeFile(ini, "[boot]\r\n"));
    HANDLE held = CreateFileA(ini.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(scheduleRenameInWinInit(ini.c_str(), "C:\\x", "NUL"), 0);
    CloseHandle(held);
    // An entry line of more than 1023 characters.
    std::string path = "C:\\" + std::string(1020, 'p');
    EXPECT_EQ(scheduleRenameInWinInit(ini.c_str(), path.c_str(), "NUL"), 0);
    EXPECT_EQ(readFile(ini), "[boot]\r\n");
    DeleteFileA(ini.c_str());
}

// MoveFileExA takes a deletion as "no new name"; the pending operation must
// not be a rename to a file called NUL.
TEST(RenameAtRestart, ADeletionIsRegisteredWithNoNewName) {
    std::string document = tempPath("pending-delete.htm");
    ASSERT_TRUE(writeFile(document, "x"));
    ASSERT_NE(scheduleRenameAtRestart(document.c_str(), "NUL"), 0);
    DeleteFileA(document.c_str());

    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ,
                            &key),
              ERROR_SUCCESS);
    static wchar_t value[32768];
    DWORD size = sizeof value - sizeof(wchar_t) * 2, type = 0;
    memset(value, 0, sizeof value);
    LONG status = RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, (BYTE*)value, &size);
    RegCloseKey(key);
    ASSERT_EQ(status, ERROR_SUCCESS);
    // Pairs of source and target; find ours and look at its target.
    std::wstring wanted;
    for (char c : document) wanted += (wchar_t)(unsigned char)c;
    bool found = false;
    for (const wchar_t* p = value; *p && p < value + size / sizeof(wchar_t);) {
        std::wstring source = p;
        p += source.size() + 1;
        std::wstring target = p;
        p += target.size() + 1;
        if (source.size() >= wanted.size() &&
            _wcsicmp(source.c_str() + source.size() - wanted.size(), wanted.c_str()) == 0) {
            found = true;
            EXPECT_TRUE(target.empty()) << "renamed instead of deleted";
        }
    }
    EXPECT_TRUE(found);
}

}  // namespace
