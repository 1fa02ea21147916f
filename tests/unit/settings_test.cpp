// Loading the installer settings from the INFO record: presence bytes,
// code-page substitution, labels, text capacity, the progress total.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "reader.h"
#include "settings.h"
#include "support/fixture.h"

namespace {

using fixture::Bytes;
using fixture::Container;

// The built-in defaults, as they are before anything is loaded.
const InstallerSettingsRecord Defaults = InstallerSettings;

struct Info {
    Bytes record = Bytes(InfoRecord::Size, 0);

    void put(int offset, const std::string& text) { memcpy(&record[(size_t)offset], text.data(), text.size()); }
    void put32(int offset, uint32_t v) {
        for (int i = 0; i < 4; i++) record[(size_t)offset + i] = (uint8_t)(v >> (8 * i));
    }
    void text(int slot, const std::string& t, bool present = true) {
        put(InfoRecord::Texts + slot * 80, t);
        record[InfoRecord::TextPresent + slot] = present;
    }
    void altText(int slot, const std::string& t) {
        put(InfoRecord::AltTexts + slot * 80, t);
        record[InfoRecord::AltTextPresent + slot] = 1;
    }
    void labels(const std::string& yes, const std::string& no) {
        put32(InfoRecord::CustomLabels, 1);
        put(InfoRecord::YesLabel, yes);
        put(InfoRecord::NoLabel, no);
    }
};

class Settings : public ::testing::Test {
protected:
    void SetUp() override {
        fixture::resetContainerState();
        InstallerSettings = Defaults;
        setenv("SSPACK_ACP", "1252", 1);
    }
    void TearDown() override {
        fixture::resetContainerState();
        InstallerSettings = Defaults;
        unsetenv("SSPACK_ACP");
    }
    // Writes an installer carrying the record (compressed, as built) and loads it.
    void load(const Info& info, bool compressed = true) {
        Container c;
        c.prefix = fixture::pattern(2048);
        c.addStored("SAVER", fixture::pattern(100));
        if (compressed)
            c.addCompressed("INFO", info.record);
        else
            c.addStored("INFO", info.record);
        c.writeTo(path);
        InstallerSettings = Defaults;
        loadSettingsFrom(path.c_str());
    }
    fixture::TempDir dir;
    std::string path = dir.file("installer.exe");
};

bool sameAsDefaults() { return memcmp(&InstallerSettings, &Defaults, sizeof Defaults) == 0; }

TEST_F(Settings, BuiltInDefaults) {
    EXPECT_STREQ(Defaults.ScreensaverFileName, "1");
    for (const char* t : {Defaults.QuestionText, Defaults.SuccessMessage, Defaults.FailureMessage,
                          Defaults.StatusText, Defaults.YesLabel, Defaults.NoLabel})
        EXPECT_STREQ(t, "-");
    EXPECT_EQ(Defaults.ShowProgress, 9);
    EXPECT_EQ(Defaults.PostInstallAction, 1);
    EXPECT_STREQ(Defaults.DisplayPropertiesCommand,
                 "Rundll32 Shell32.dll,Control_RunDLL Desk.cpl @0,1");
    EXPECT_EQ(Defaults.ProgressTotal, 7);
}

TEST_F(Settings, DefaultsStayWhenTheRecordCannotBeRead) {
    Info info;
    info.text(0, "Install?");
    Bytes tooBig(7000, 1);  // expands past the 6148-byte record
    Bytes damaged = fixture::compress(info.record).value();
    damaged[damaged.size() / 2] ^= 4;
    auto withInfo = [](const Bytes& data, bool compressedData) {
        Container c;
        c.addStored("SAVER", {1});
        fixture::Record& r = c.addData("INFO", data);
        if (compressedData) {
            r.storage = StorageCompressed;
            r.plainSize = InfoRecord::Size;
        }
        return c;
    };
    Container noInfo;
    noInfo.addStored("SAVER", {1});
    Container inlineInfo;
    inlineInfo.addStored("SAVER", {1});
    inlineInfo.addInline("INFO", {1, 2});
    struct Case {
        const char* what;
        Bytes file;  // empty: no file at all
    } cases[] = {
        {"no file", {}},
        {"no directory", fixture::pattern(5000)},
        {"no INFO chunk", noInfo.bytes()},
        {"INFO only inline", inlineInfo.bytes()},
        {"INFO expands past the record", withInfo(fixture::compress(tooBig).value(), true).bytes()},
        {"INFO damaged", withInfo(damaged, true).bytes()},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        const std::string file = dir.file(k.what);
        if (!k.file.empty()) fixture::writeFile(file, k.file);
        InstallerSettings = Defaults;
        loadSettingsFrom(file.c_str());
        EXPECT_TRUE(sameAsDefaults());
        EXPECT_EQ(readerHandle(), INVALID_HANDLE_VALUE);
    }
}

TEST_F(Settings, LoadsTheRunningProgramsRecord) {
    Info info;
    info.text(1, "Done.");
    info.put(InfoRecord::ScreensaverName, "Aurora");
    Container c;
    c.addStored("SAVER", {1});
    c.addCompressed("INFO", info.record);
    c.writeTo(path);
    platformSetModulePath(path.c_str());
    loadSettings();
    EXPECT_STREQ(InstallerSettings.ScreensaverFileName, "Aurora.scr");
    EXPECT_STREQ(InstallerSettings.SuccessMessage, "Done.");
    EXPECT_EQ(memcmp(InfoRecordBuffer, info.record.data(), InfoRecord::Size), 0);
    EXPECT_EQ(readerHandle(), INVALID_HANDLE_VALUE);
}

TEST_F(Settings, TextsNumbersAndLabels) {
    Info info;
    info.text(0, "Install Aurora?");
    info.text(1, "Aurora is installed.");
    info.text(2, "Slot text not present", false);
    info.text(3, "Installing...");
    info.put(InfoRecord::ScreensaverName, "Aurora");
    info.put32(InfoRecord::PostInstallAction, 0x1FF);  // the low byte, signed
    info.put32(InfoRecord::ShowProgress, 0);
    info.labels("Install", "Cancel");
    for (bool compressed : {true, false}) {
        SCOPED_TRACE(compressed ? "compressed INFO" : "stored INFO");
        load(info, compressed);
        const InstallerSettingsRecord& s = InstallerSettings;
        EXPECT_STREQ(s.QuestionText, "Install Aurora?");
        EXPECT_STREQ(s.SuccessMessage, "Aurora is installed.");
        EXPECT_STREQ(s.FailureMessage, "");
        EXPECT_STREQ(s.StatusText, "Installing...");
        EXPECT_STREQ(s.ScreensaverFileName, "Aurora.scr");
        EXPECT_STREQ(s.YesLabel, "Install");
        EXPECT_STREQ(s.NoLabel, "Cancel");
        EXPECT_EQ(s.PostInstallAction, -1);
        EXPECT_EQ(s.ShowProgress, 0);
        EXPECT_EQ(s.ProgressTotal, 7);  // ShowProgress 0 leaves the default
        EXPECT_STREQ(s.DisplayPropertiesCommand, "Rundll32 Shell32.dll,Control_RunDLL Desk.cpl @0,1");
    }
    info.put32(InfoRecord::CustomLabels, 0);
    load(info);
    EXPECT_STREQ(InstallerSettings.YesLabel, "Yes");
    EXPECT_STREQ(InstallerSettings.NoLabel, "No");
}

TEST_F(Settings, CodePageSubstitution) {
    struct Case {
        const char* what;
        uint32_t codePage;
        const char* acp;
        std::vector<int> altSlots;
        const char* altName;
        bool customLabels;
        // expected
        std::vector<std::string> texts;
        const char* fileName;
        const char* yes;
        const char* no;
    } cases[] = {
        {"no code page named", 0, "1251", {0, 1, 2, 3}, "Alt", true,
         {"Q", "S", "F", "T"}, "Main.scr", "Ja", "Nein"},
        {"code page is the system's", 1251, "1251", {0, 1, 2, 3}, "Alt", true,
         {"Q", "S", "F", "T"}, "Main.scr", "Ja", "Nein"},
        {"only the success text has an alternate", 1251, "1252", {1}, "Alt", true,
         {"Q", "altS", "F", "T"}, "Alt.scr", "Ja", "Nein"},
        {"an alternate question sets the custom labels aside", 1251, "1252", {0}, "Alt", true,
         {"altQ", "S", "F", "T"}, "Alt.scr", "Yes", "No"},
        {"all alternates", 1251, "1252", {0, 1, 2, 3}, "Alt", false,
         {"altQ", "altS", "altF", "altT"}, "Alt.scr", "Yes", "No"},
        {"empty alternate name", 1251, "1252", {}, "", true,
         {"Q", "S", "F", "T"}, ".scr", "Ja", "Nein"},
        {"no system code page given: 1252", 1251, "", {3}, "Alt", true,
         {"Q", "S", "F", "altT"}, "Alt.scr", "Ja", "Nein"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        Info info;
        const char* primary[] = {"Q", "S", "F", "T"};
        const char* alternate[] = {"altQ", "altS", "altF", "altT"};
        for (int slot = 0; slot < 4; slot++) info.text(slot, primary[slot]);
        for (int slot : k.altSlots) info.altText(slot, alternate[slot]);
        info.put(InfoRecord::ScreensaverName, "Main");
        info.put(InfoRecord::AltScreensaverName, k.altName);
        info.put32(InfoRecord::TextCodePage, k.codePage);
        if (k.customLabels) info.labels("Ja", "Nein");
        setenv("SSPACK_ACP", k.acp, 1);
        load(info);
        const InstallerSettingsRecord& s = InstallerSettings;
        const char* got[] = {s.QuestionText, s.SuccessMessage, s.FailureMessage, s.StatusText};
        for (int slot = 0; slot < 4; slot++) EXPECT_EQ(got[slot], k.texts[(size_t)slot]) << slot;
        EXPECT_STREQ(s.ScreensaverFileName, k.fileName);
        EXPECT_STREQ(s.YesLabel, k.yes);
        EXPECT_STREQ(s.NoLabel, k.no);
        // The stored record is not changed.
        EXPECT_EQ(memcmp(InfoRecordBuffer, info.record.data(), InfoRecord::Size), 0);
    }
    // An alternate text replaces an absent primary one.
    Info info;
    info.text(2, "F", false);
    info.altText(2, "altF");
    info.put32(InfoRecord::TextCodePage, 1251);
    load(info);
    EXPECT_STREQ(InstallerSettings.FailureMessage, "altF");
}

// Every field holds the longest text its slot can carry, and a slot whose
// bytes run on without a NUL never spills into the next field.
TEST_F(Settings, TextCapacity) {
    Info full;  // slots filled to the last byte, no terminator anywhere
    for (int slot = 0; slot < 4; slot++) {
        full.text(slot, std::string(80, (char)('a' + slot)));
        full.altText(slot, std::string(80, (char)('A' + slot)));
    }
    full.put(InfoRecord::ScreensaverName, std::string(128, 'n'));
    full.put(InfoRecord::AltScreensaverName, std::string(128, 'm'));
    full.labels(std::string(32, 'y'), std::string(32, 'z'));
    full.put(InfoRecord::NoLabel + 32, "spill");

    Info longest = full;  // the longest terminated texts
    for (int slot = 0; slot < 4; slot++) {
        longest.record[(size_t)InfoRecord::Texts + slot * 80 + 79] = 0;
        longest.record[(size_t)InfoRecord::AltTexts + slot * 80 + 79] = 0;
    }
    longest.record[InfoRecord::ScreensaverName + 127] = 0;
    longest.record[InfoRecord::AltScreensaverName + 127] = 0;
    longest.record[InfoRecord::YesLabel + 31] = 0;
    longest.record[InfoRecord::NoLabel + 31] = 0;

    for (const Info* info : {&full, &longest}) {
        for (const char* acp : {"1252", "1251"}) {
            SCOPED_TRACE(std::string(info == &full ? "unterminated" : "terminated") + " " + acp);
            Info i = *info;
            i.put32(InfoRecord::TextCodePage, 1251);
            i.record[InfoRecord::AltTextPresent] = 0;  // keep the custom labels
            setenv("SSPACK_ACP", acp, 1);
            load(i);
            const bool alt = std::string(acp) == "1252";
            const InstallerSettingsRecord& s = InstallerSettings;
            EXPECT_EQ(std::string(s.QuestionText), std::string(79, 'a'));
            EXPECT_EQ(std::string(s.SuccessMessage), std::string(79, alt ? 'B' : 'b'));
            EXPECT_EQ(std::string(s.FailureMessage), std::string(79, alt ? 'C' : 'c'));
            EXPECT_EQ(std::string(s.StatusText), std::string(79, alt ? 'D' : 'd'));
            EXPECT_EQ(std::string(s.ScreensaverFileName), std::string(127, alt ? 'm' : 'n') + ".scr");
            EXPECT_EQ(std::string(s.YesLabel), std::string(31, 'y'));
            EXPECT_EQ(std::string(s.NoLabel), std::string(31, 'z'));
        }
    }
}

TEST_F(Settings, ProgressTotalCountsExpansionOfTheNamedChunks) {
    auto crafted = [](Container& c, const char* name, uint32_t stored, uint32_t plainSize) {
        fixture::Record& r = c.addStored(name, Bytes(stored, 1));
        r.plainSize = plainSize;
    };
    Info info;
    info.put32(InfoRecord::ShowProgress, 0x100);  // nonzero, though its low byte is 0
    Container c;
    c.addCompressed("SAVER", fixture::pattern(5000));
    c.addCompressed("INFO", info.record);
    c.addStored("STUB", fixture::pattern(300));  // stored: counts 0
    crafted(c, "MOVIE", 10, 1000);
    crafted(c, "zett", 10, 2000);
    crafted(c, "LESMI", 10, 30);
    crafted(c, "PREVIEWB", 10, 40);
    crafted(c, "PREVIEWF", 10, 50);
    crafted(c, "ADDL", 10, 60);
    crafted(c, "ADDL0", 10, 70);
    crafted(c, "ADDL9", 10, 80);
    crafted(c, "ADDL10", 10, 90);
    crafted(c, "ADDL15", 10, 100);
    crafted(c, "ADDL16", 10, 100000);  // not counted
    crafted(c, "ADDL01", 10, 100000);  // not counted
    crafted(c, "ADDTL", 10, 100000);   // not counted
    crafted(c, "KMDL", 10, 100000);    // not counted
    crafted(c, "ADDL5", 10, 0xFFFFFFF0u);  // reads as negative: ignored
    c.writeTo(path);
    const int32_t expected = 5000 + 1000 + 2000 + 30 + 40 + 50 + 60 + 70 + 80 + 90 + 100;
    EXPECT_EQ(computeProgressTotalFrom(path.c_str()), expected);
    EXPECT_EQ(readerHandle(), INVALID_HANDLE_VALUE);

    InstallerSettings = Defaults;
    loadSettingsFrom(path.c_str());
    EXPECT_EQ(InstallerSettings.ShowProgress, 0);
    EXPECT_EQ(InstallerSettings.ProgressTotal, expected);

    // Crafted sizes never overflow the total.
    Container huge;
    crafted(huge, "MOVIE", 10, 0x7FFFFFF0u);
    crafted(huge, "ZETT", 10, 0x7FFFFFF0u);
    huge.writeTo(path);
    EXPECT_EQ(computeProgressTotalFrom(path.c_str()), 0x7FFFFFFF);

    const std::string missing = dir.file("missing");  // kept alive: the path is not copied
    EXPECT_EQ(computeProgressTotalFrom(missing.c_str()), 0);
    platformSetModulePath(missing.c_str());
    EXPECT_EQ(computeProgressTotal(), 0);
}

}  // namespace
