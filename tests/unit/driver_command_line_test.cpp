// The command line built from a registered open command and a target.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "command_line.h"

namespace {

std::string build(const char* command, const char* target, size_t capacity = 384) {
    char edited[256];
    strcpy(edited, command);
    char out[400];
    memset(out, '#', sizeof out);
    if (!buildAssociatedCommand(out, capacity, edited, target)) {
        EXPECT_EQ(out[0], 0);
        EXPECT_EQ(out[capacity], '#');  // nothing past the capacity
        return "<refused>";
    }
    EXPECT_EQ(out[strlen(out) + 1], '#');
    return out;
}

TEST(DriverCommandLine, EditsOfTheRegisteredCommand) {
    struct Case {
        const char* command;
        const char* target;
        const char* expected;
    };
    const Case cases[] = {
        // "%1" in quotes: the target between them
        {"\"C:\\app\\view.exe\" \"%1\"", "C:\\tmp\\doc.htm", "\"C:\\app\\view.exe\" \"C:\\tmp\\doc.htm\""},
        // no "%1": a space and the target are appended
        {"notepad.exe", "C:\\a.txt", "notepad.exe C:\\a.txt"},
        {"notepad.exe", "", "notepad.exe "},
        // the first "%*" becomes two spaces, a second one stays
        {"app.exe %1 %*", "x", "app.exe x   "},
        {"app.exe %* %*", "x", "app.exe    %* x"},
        // an empty target cuts before the placeholder, a quote and spaces
        {"\"C:\\app\\view.exe\" \"%1\"", "", "\"C:\\app\\view.exe\""},
        {"app.exe   %1 /x", "", "app.exe"},
        {"%1 rest", "", ""},
        {"\"%1\"", "", ""},
        {"app %*\"%1\"", "", "app"},  // over the spaces that replaced "%*"
        // other per-cent sequences are text, never directives
        {"app.exe /p:%d %s %n \"%1\"", "doc", "app.exe /p:%d %s %n \"doc\""},
        {"app.exe %2 %1", "t", "app.exe %2 t"},
        {"app.exe %%1", "t", "app.exe %t"},
        {"app.exe %1 %1", "t", "app.exe t %1"},
        {"app.exe %s", "t", "app.exe %s t"},
        {"app.exe \"%1\"", "50%s%n.txt", "app.exe \"50%s%n.txt\""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(build(c.command, c.target), c.expected) << c.command << " / " << c.target;
}

TEST(DriverCommandLine, RefusesALineThatDoesNotFit) {
    // "app.exe t" is 9 characters: 10 bytes fit, 9 do not.
    EXPECT_EQ(build("app.exe", "t", 10), "app.exe t");
    EXPECT_EQ(build("app.exe", "t", 9), "<refused>");
    EXPECT_EQ(build("a \"%1\" b", "target", 13), "a \"target\" b");
    EXPECT_EQ(build("a \"%1\" b", "target", 12), "<refused>");
    std::string longTarget(380, 'x');
    EXPECT_EQ(build("app.exe \"%1\"", longTarget.c_str()), "<refused>");
}

}  // namespace
