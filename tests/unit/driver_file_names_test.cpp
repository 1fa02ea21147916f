// The 8.3 name scan, the checks that keep written files in their folder, and
// path joining.
#include <gtest/gtest.h>
#include <string.h>

#include "file_names.h"

namespace {

struct NameCase {
    const char* name;
    int expected;
};

TEST(DriverFileNames, ShortNameScan) {
    const NameCase cases[] = {
        {"MYSAVER.scr", 1},
        {"ABCDEFGH.scr", 1},
        {"A_1.scr", 1},
        {".scr", 1},
        {"ABCDEFGH", 1},     // 8 ordinary characters, no extension
        {"", 1},
        {"a.b", 1},
        {"README.", 1},
        {"MY SAVER.scr", 0},  // space
        {"MY-SAVER.scr", 0},  // hyphen (0x2D, below the separator range)
        {"MY+SAVER.scr", 0},
        {"SAVER\xE9.scr", 0},  // byte of 0x80 and above
        {"ABCDEFGHI.scr", 0},  // nine before the extension
        {"A.B.scr", 0},        // two separators
        {"MYSAVER.scrx", 0},   // four after the dot
        {"ABCDEFGHI", 0},      // nine, the ninth is the last byte
        {"MYSAVE~1.scr", 0},   // the tilde is a separator, the dot a second one
    };
    for (const NameCase& c : cases) EXPECT_EQ(isShortName(c.name), c.expected) << c.name;
}

TEST(DriverFileNames, ScreensaverNameMustStayInTheWindowsDirectory) {
    const NameCase cases[] = {
        {"MySaver.scr", 1},
        {"My Saver 2.scr", 1},
        {".scr", 1},  // an empty name is allowed
        {"a.b.scr", 1},
        {"...scr", 0},  // stem ".."
        {"..scr", 0},   // stem "."
        {"..", 0},
        {".", 0},
        {"..\\evil.scr", 0},
        {"sub\\x.scr", 0},
        {"../evil.scr", 0},
        {"C:evil.scr", 0},
        {"x.scr:stream", 0},
    };
    for (const NameCase& c : cases) EXPECT_EQ(isSafeScreensaverFileName(c.name), c.expected) << c.name;
}

TEST(DriverFileNames, DocumentFileName) {
    struct Case {
        const char* path;
        const char* expected;  // null: refused
    };
    const Case cases[] = {
        {"C:\\docs\\readme.txt", "readme.txt"},
        {"readme.txt", "readme.txt"},
        {"a/../../x.exe", "x.exe"},
        {"a\\b/c.htm", "c.htm"},
        {"dir/sub\\", nullptr},
        {"", nullptr},
        {"dir\\.", nullptr},
        {"..\\..", nullptr},
        {"..", nullptr},
        {"C:evil.txt", nullptr},
        {"x\\file.txt:stream", nullptr},
        {"...", "..."},
    };
    for (const Case& c : cases) {
        const char* got = documentFileName(c.path);
        if (c.expected == nullptr)
            EXPECT_EQ(got, nullptr) << c.path;
        else
            EXPECT_STREQ(got, c.expected) << c.path;
    }
}

TEST(DriverFileNames, AppendPathName) {
    struct Case {
        const char* directory;
        const char* expected;
    };
    const Case cases[] = {
        {"C:\\WINDOWS", "C:\\WINDOWS\\MYSAVER.scr"},
        {"C:\\", "C:\\MYSAVER.scr"},
        {"c:\\win95", "c:\\win95\\MYSAVER.scr"},
        {"", "MYSAVER.scr"},
    };
    for (const Case& c : cases) {
        char buffer[64];
        strcpy(buffer, c.directory);
        EXPECT_EQ(appendPathName(buffer, sizeof buffer, "MYSAVER.scr"), 1);
        EXPECT_STREQ(buffer, c.expected);
    }
}

TEST(DriverFileNames, AppendPathNameRefusesWhatDoesNotFit) {
    // "C:\W" + "\" + "ab" = 7 characters and a NUL: 8 bytes fit, 7 do not.
    char buffer[10];
    memset(buffer, '#', sizeof buffer);
    strcpy(buffer, "C:\\W");
    EXPECT_EQ(appendPathName(buffer, 7, "ab"), 0);
    EXPECT_STREQ(buffer, "C:\\W");
    EXPECT_EQ(buffer[5], '#');
    EXPECT_EQ(appendPathName(buffer, 8, "ab"), 1);
    EXPECT_STREQ(buffer, "C:\\W\\ab");
    EXPECT_EQ(buffer[8], '#');
}

}  // namespace
