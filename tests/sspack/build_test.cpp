// sspack build: what an installer carries, read back through sspack and
// through the installer's own settings loader.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include <nlohmann/json.hpp>

#include "cli_support.h"
#include "settings.h"

namespace {

using fixture::Bytes;
using Json = nlohmann::json;

// A manifest that uses every kind of chunk and every setting.
const char* const FullManifest = R"(
[screensaver]
name = "Aurora"
keep_current = true

[texts]
question = "Install the Aurora screensaver?"
success = "Aurora is now your screensaver."
failure = "Aurora could not be installed."
status = "Installing Aurora..."

[buttons]
yes = "Install"
no = "Cancel"

[install]
progress = true
after = "open-document"
document = "docs/readme.txt"

[chunks]
saver = { file = "saver.scr", storage = "stored" }
stub = "stub.bin"
movie = { file = "movie.dat", storage = "auto" }
zett = { file = "zett.bin", storage = "auto" }
kmdl = { file = "kmdl.bin", xor = 90 }
previewb = { file = "preview.bmp", storage = "auto" }
previewf = "same-as-movie"
addtl = ["extra/a.bin", { file = "extra/b.bin", storage = "stored" }]
addl = ["extra/c.bin"]
)";

struct FullInputs : Inputs {
    Bytes preview = fixture::pattern(4000, 9);  // does not compress: "auto" stores it
    Bytes document = Bytes(900, 'd');
    Bytes a = Bytes(5000, 'a'), b = fixture::pattern(100, 4), c = Bytes(7000, 'c');
    FullInputs() {
        fixture::writeFile(path("preview.bmp"), preview);
        system(("mkdir -p '" + path("docs") + "' '" + path("extra") + "'").c_str());
        fixture::writeFile(path("docs/readme.txt"), document);
        fixture::writeFile(path("extra/a.bin"), a);
        fixture::writeFile(path("extra/b.bin"), b);
        fixture::writeFile(path("extra/c.bin"), c);
    }
};

struct Expected {
    const char* name;
    const char* storage;
    int xorKey;
    const Bytes* plain;
};

TEST(SspackBuild, CarriesEveryChunkAndReadsBackByteForByte) {
    FullInputs in;
    RunResult r = in.build(FullManifest);
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string out = in.path("out.exe");

    // The installer program comes first, unchanged.
    Bytes file = fixture::readFile(out);
    ASSERT_GT(file.size(), in.program.size());
    EXPECT_TRUE(std::equal(in.program.begin(), in.program.end(), file.begin()));

    RunResult list = runSspack({"list", "--json", out});
    ASSERT_EQ(list.code, 0) << list.err;
    Json records = Json::parse(list.out);
    const Expected expected[] = {
        {"SAVER", "stored", 0, &in.saver},          {"STUB", "compressed", 0, &in.stub},
        {"MOVIE", "compressed", 0, &in.movie},      {"ZETT", "compressed", 0, &in.zett},
        {"KMDL", "stored", 90, &in.kmdl},           {"PREVIEWB", "stored", 0, &in.preview},
        {"PREVIEWF", "compressed", 0, &in.movie},   {"LESMI", "compressed", 0, &in.document},
        {"ADDTL", "compressed", 0, &in.a},          {"ADDTL01", "stored", 0, &in.b},
        {"ADDL", "compressed", 0, &in.c},           {"INFO", "compressed", 0, nullptr},
    };
    ASSERT_EQ(records.size(), std::size(expected));
    uint32_t nextOffset = (uint32_t)in.program.size();
    for (size_t k = 0; k < std::size(expected); k++) {
        SCOPED_TRACE(expected[k].name);
        const Json& rec = records[k];
        EXPECT_EQ(rec["name"], expected[k].name);
        EXPECT_EQ(rec["storage"], expected[k].storage);
        EXPECT_EQ(rec["xorKey"], expected[k].xorKey);
        EXPECT_EQ(rec["markerOffset"], -1);
        EXPECT_EQ(rec["countOrLength"], k == 0 ? std::size(expected) : 0);
        if (expected[k].plain) EXPECT_EQ(rec["plainSize"], expected[k].plain->size());
        if (rec["storage"] == "stored") EXPECT_EQ(rec["storedSize"], rec["plainSize"]);
        if (std::string(expected[k].name) == "PREVIEWF") {
            EXPECT_EQ(rec["dataOffset"], records[2]["dataOffset"]);  // MOVIE's data, once
            continue;
        }
        // Chunks lie back to back behind the program, the directory behind them.
        EXPECT_EQ(rec["dataOffset"], nextOffset);
        nextOffset += rec["storedSize"].get<uint32_t>();
    }
    EXPECT_EQ(nextOffset + 40 * std::size(expected), file.size());

    // extract gives the input bytes back, scrambled chunks unscrambled.
    const std::string dir = in.path("x");
    RunResult ex = runSspack({"extract", out, "--all", "-o", dir});
    ASSERT_EQ(ex.code, 0) << ex.err;
    for (const Expected& e : expected) {
        if (!e.plain) continue;
        SCOPED_TRACE(e.name);
        EXPECT_EQ(fixture::readFile(dir + "/" + e.name), *e.plain);
    }
    RunResult cat = runSspack({"cat", out, "kmdl"});
    ASSERT_EQ(cat.code, 0) << cat.err;
    EXPECT_EQ(Bytes(cat.out.begin(), cat.out.end()), in.kmdl);

    RunResult verify = runSspack({"verify", out});
    EXPECT_EQ(verify.code, 0) << verify.out << verify.err;
    EXPECT_NE(verify.out.find("all 12 chunks are sound"), std::string::npos) << verify.out;

    // The settings record, as sspack info reads it.
    RunResult info = runSspack({"info", "--json", out});
    ASSERT_EQ(info.code, 0) << info.err;
    Json settings = Json::parse(info.out)["settings"];
    EXPECT_EQ(settings["screensaverName"], "Aurora");
    EXPECT_EQ(settings["keepCurrentScreensaver"], 1);
    EXPECT_EQ(settings["texts"]["question"], "Install the Aurora screensaver?");
    EXPECT_EQ(settings["texts"]["status"], "Installing Aurora...");
    EXPECT_EQ(settings["customLabels"], 1);
    EXPECT_EQ(settings["yesLabel"], "Install");
    EXPECT_EQ(settings["noLabel"], "Cancel");
    EXPECT_EQ(settings["showProgress"], 1);
    EXPECT_EQ(settings["postInstallAction"], 3);
    EXPECT_EQ(settings["documentPath"], "readme.txt");
    EXPECT_EQ(settings["textCodePage"], 0);
    EXPECT_TRUE(settings["alternateTexts"]["question"].is_null());
    // Expanded sizes of the compressed chunks the progress bar counts.
    EXPECT_EQ(Json::parse(info.out)["progressTotal"],
              in.stub.size() + in.movie.size() + in.zett.size() + in.document.size() +
                  in.movie.size() + in.c.size());
}

TEST(SspackBuild, SameInputsGiveTheSameBytes) {
    FullInputs in;
    ASSERT_EQ(in.build(FullManifest, "first.exe").code, 0);
    ASSERT_EQ(in.build(FullManifest, "second.exe").code, 0);
    Bytes first = fixture::readFile(in.path("first.exe"));
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(first, fixture::readFile(in.path("second.exe")));
}

// Builds into a file that is not the installer's own and loads its settings
// as the installer does, with the system's ANSI code page acp.
const InstallerSettingsRecord& loadAs(const std::string& installer, const char* acp) {
    setenv("SSPACK_ACP", acp, 1);
    loadSettingsFrom(installer.c_str());
    unsetenv("SSPACK_ACP");
    return InstallerSettings;
}

TEST(SspackBuild, TheInstallersLoaderReadsWhatSspackWrote) {
    FullInputs in;
    ASSERT_EQ(in.build(FullManifest).code, 0);
    const InstallerSettingsRecord& s = loadAs(in.path("out.exe"), "1252");
    EXPECT_STREQ(s.ScreensaverFileName, "Aurora.scr");
    EXPECT_STREQ(s.QuestionText, "Install the Aurora screensaver?");
    EXPECT_STREQ(s.SuccessMessage, "Aurora is now your screensaver.");
    EXPECT_STREQ(s.FailureMessage, "Aurora could not be installed.");
    EXPECT_STREQ(s.StatusText, "Installing Aurora...");
    EXPECT_STREQ(s.YesLabel, "Install");
    EXPECT_STREQ(s.NoLabel, "Cancel");
    EXPECT_EQ(s.ShowProgress, 1);
    EXPECT_EQ(s.PostInstallAction, 3);
    EXPECT_EQ(s.ProgressTotal, (int32_t)(in.stub.size() + 2 * in.movie.size() + in.zett.size() +
                                         in.document.size() + in.c.size()));
}

// Texts in a code page: the record holds that code page's bytes, and the
// alternate texts and name are what systems of another code page show.
TEST(SspackBuild, TextsAreConvertedToTheirCodePage) {
    Inputs in;
    const std::string manifest = std::string(R"(
[screensaver]
name = "Café"
alt_name = "Cafe"
[texts]
code_page = 1252
question = "Installer « Café » ?"
success = "Écran de veille installé."
[texts.alternate]
question = "Install Cafe?"
success = "Screensaver installed."
[buttons]
yes = "Installer"
no = "Annuler"
)") + RequiredChunks;
    RunResult r = in.build(manifest);
    ASSERT_EQ(r.code, 0) << r.err;

    const InstallerSettingsRecord& same = loadAs(in.path("out.exe"), "1252");
    EXPECT_STREQ(same.ScreensaverFileName, "Caf\xE9.scr");
    EXPECT_STREQ(same.QuestionText, "Installer \xAB Caf\xE9 \xBB ?");
    EXPECT_STREQ(same.SuccessMessage, "\xC9" "cran de veille install\xE9.");
    EXPECT_STREQ(same.YesLabel, "Installer");

    const InstallerSettingsRecord& other = loadAs(in.path("out.exe"), "1250");
    EXPECT_STREQ(other.ScreensaverFileName, "Cafe.scr");
    EXPECT_STREQ(other.QuestionText, "Install Cafe?");
    EXPECT_STREQ(other.SuccessMessage, "Screensaver installed.");
    EXPECT_STREQ(other.YesLabel, "Yes");  // the alternate question sets the labels aside

    // info shows the texts as UTF-8 again.
    Json settings = Json::parse(runSspack({"info", "--json", in.path("out.exe")}).out)["settings"];
    EXPECT_EQ(settings["screensaverName"], "Café");
    EXPECT_EQ(settings["texts"]["question"], "Installer « Café » ?");
    EXPECT_EQ(settings["textCodePage"], 1252);
}

TEST(SspackBuild, DoubleByteCodePage) {
    Inputs in;
    const std::string manifest = std::string(R"(
[screensaver]
name = "Aurora"
[texts]
code_page = 932
success = "日本語"
[texts.alternate]
success = "Japanese"
)") + RequiredChunks;
    RunResult r = in.build(manifest);
    ASSERT_EQ(r.code, 0) << r.err;
    const InstallerSettingsRecord& s = loadAs(in.path("out.exe"), "932");
    EXPECT_STREQ(s.SuccessMessage, "\x93\xFA\x96\x7B\x8C\xEA");
    // An ASCII name without alt_name serves on systems of other code pages.
    EXPECT_STREQ(loadAs(in.path("out.exe"), "1252").ScreensaverFileName, "Aurora.scr");
}

TEST(SspackBuild, LongestTextsThatFit) {
    Inputs in;
    // In code page 1252 "é" is one byte: 79 of them fit although the UTF-8
    // text is 158 bytes.
    std::string e79;
    for (int i = 0; i < 79; i++) e79 += "é";
    const std::string manifest = "[screensaver]\nname = \"" + std::string(71, 'n') + "\"\n" +
                                 "[texts]\ncode_page = 1252\n" +
                                 "question = \"" + std::string(79, 'Q') + "\"\n" +
                                 "failure = \"" + e79 + "\"\n" +
                                 "[texts.alternate]\nfailure = \"" + std::string(79, 'f') + "\"\n" +
                                 "[buttons]\nyes = \"" + std::string(31, 'y') + "\"\nno = \"n\"\n" +
                                 RequiredChunks;
    RunResult r = in.build(manifest);
    ASSERT_EQ(r.code, 0) << r.err;
    const InstallerSettingsRecord& s = loadAs(in.path("out.exe"), "1252");
    EXPECT_EQ(std::strlen(s.FailureMessage), 79u);
    EXPECT_EQ(std::strlen(s.QuestionText), 79u);
    EXPECT_EQ(std::strlen(s.YesLabel), 31u);
    EXPECT_EQ(std::string(s.ScreensaverFileName), std::string(71, 'n') + ".scr");
}

TEST(SspackBuild, TheMostChunksADirectoryHolds) {
    Inputs in;
    // 5 required + 26 ADDTL + INFO = 32 records.
    std::string list;
    for (int i = 0; i < 26; i++) list += std::string(i ? ", " : "") + "\"zett.bin\"";
    RunResult r = in.build(std::string(PlainScreensaver) + RequiredChunks + "addtl = [" + list + "]\n");
    ASSERT_EQ(r.code, 0) << r.err;
    Json records = Json::parse(runSspack({"list", "--json", in.path("out.exe")}).out);
    ASSERT_EQ(records.size(), 32u);
    EXPECT_EQ(records[6]["name"], "ADDTL01");
    EXPECT_EQ(records[30]["name"], "ADDTL25");
    EXPECT_EQ(runSspack({"verify", in.path("out.exe")}).code, 0);
}

// Without --stub, sspack takes SsInstaller.exe from its own folder.
TEST(SspackBuild, DefaultInstallerProgramLiesBesideSspack) {
    Inputs in;
    const std::string program = in.path("tool/sspack");
    ASSERT_EQ(system(("mkdir -p '" + in.path("tool") + "' && cp '" SSPACK_PATH "' '" + program + "'").c_str()), 0);
    const std::string manifest = in.manifest(std::string(PlainScreensaver) + RequiredChunks);

    RunResult missing = runProgram(program, {"build", manifest, "-o", in.path("out.exe")});
    EXPECT_EQ(missing.code, 1);
    EXPECT_NE(missing.err.find("SsInstaller.exe"), std::string::npos) << missing.err;
    EXPECT_FALSE(fixture::fileExists(in.path("out.exe")));

    Bytes installer = fixture::pattern(1234, 5);
    fixture::writeFile(in.path("tool/SsInstaller.exe"), installer);
    RunResult r = runProgram(program, {"build", manifest, "-o", in.path("out.exe")});
    ASSERT_EQ(r.code, 0) << r.err;
    Bytes file = fixture::readFile(in.path("out.exe"));
    EXPECT_TRUE(std::equal(installer.begin(), installer.end(), file.begin()));
}

TEST(SspackInit, WritesAnExampleThatBuildsAndNeverOverwrites) {
    Inputs in;
    const std::string dir = in.path("new/project");
    RunResult r = runSspack({"init", dir});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string manifest = dir + "/manifest.toml";
    const std::string text = readText(manifest);
    EXPECT_NE(text.find("[chunks]"), std::string::npos);

    RunResult again = runSspack({"init", dir});
    EXPECT_EQ(again.code, 1);
    EXPECT_NE(again.err.find("already exists"), std::string::npos) << again.err;
    EXPECT_EQ(readText(manifest), text);

    // With the files it names in place, the example builds as it is.
    RunResult noInputs = runSspack({"build", manifest, "-o", in.path("x.exe"), "--stub", in.path("stub.exe")});
    EXPECT_EQ(noInputs.code, 1);
    EXPECT_NE(noInputs.err.find("bin/aurora.scr"), std::string::npos) << noInputs.err;
    system(("cd '" + dir + "' && mkdir -p bin media data && echo s > bin/aurora.scr && echo t > "
            "bin/stub.bin && echo m > media/aurora.dat && echo z > data/zett.bin && echo k > "
            "data/kmdl.bin").c_str());
    RunResult built = runSspack({"build", manifest, "-o", in.path("x.exe"), "--stub", in.path("stub.exe")});
    EXPECT_EQ(built.code, 0) << built.err;
}

}  // namespace
