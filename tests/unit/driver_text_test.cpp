// Bounded text helpers and the case-blind search of the installer.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "text.h"

namespace {

struct FindCase {
    const char* text;
    const char* pattern;
    int expected;
};

TEST(DriverText, FindNoCase) {
    const FindCase cases[] = {
        {"xAB", "ab", 2},
        {"abc", "", 1},
        {"", "", 1},
        {"", "a", 0},
        {"ab", "abc", 0},
        {"aBc", "C", 3},
        {"abab", "BA", 2},
        {"hello", "xyz", 0},
        {"[RENAME]\r\nA=B", "[Rename]\r\n", 1},
        {"zzz[rename]\r\n", "[RENAME]\r\n", 4},
        {"@", "`", 0},            // only ASCII letters fold
        {"[", "{", 0},
        {"\xC4", "\xE4", 0},      // nor bytes above 0x7F
        {"aaab", "aab", 2},       // restarts after a partial match
        {"abc", "abc", 1},
    };
    for (const FindCase& c : cases)
        EXPECT_EQ(findNoCase(c.text, c.pattern), c.expected) << c.text << " / " << c.pattern;
}

TEST(DriverText, FindNoCaseInStaysInsideItsRange) {
    EXPECT_EQ(findNoCaseIn("abcdef", 3, "cd", 2), 0u);
    EXPECT_EQ(findNoCaseIn("abcdef", 4, "cd", 2), 3u);
    EXPECT_EQ(findNoCaseIn("a\0b", 3, "B", 1), 3u);  // a zero byte is just a byte here
    EXPECT_EQ(findNoCaseIn("ab", 2, "abc", 3), 0u);
}

TEST(DriverText, CopyAndAppendAreAllOrNothing) {
    char buffer[8];
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(copyText(buffer, 5, "abcd"), 1);  // exactly fills 5 bytes
    EXPECT_STREQ(buffer, "abcd");
    EXPECT_EQ(buffer[5], '#');

    EXPECT_EQ(copyText(buffer, 4, "wxyz"), 0);  // one byte short
    EXPECT_STREQ(buffer, "abcd");

    EXPECT_EQ(appendText(buffer, 7, "ef"), 1);
    EXPECT_STREQ(buffer, "abcdef");
    EXPECT_EQ(appendText(buffer, 7, "g"), 0);
    EXPECT_STREQ(buffer, "abcdef");
    EXPECT_EQ(buffer[7], '#');
}

TEST(DriverText, CopyFieldTerminatesAFieldWithoutNul) {
    char buffer[6];
    memset(buffer, '#', sizeof buffer);
    const char field[4] = {'A', 'B', 'C', 'D'};
    copyField(buffer, field, sizeof field);
    EXPECT_STREQ(buffer, "ABCD");
    EXPECT_EQ(buffer[5], '#');

    const char shortField[4] = {'x', 0, 'y', 'z'};
    copyField(buffer, shortField, sizeof shortField);
    EXPECT_STREQ(buffer, "x");
}

}  // namespace
