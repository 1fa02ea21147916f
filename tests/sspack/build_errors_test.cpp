// sspack build refusing what the installer could not use: each row is a
// manifest, the exit code and a piece of the message. A refused build leaves
// no output and no temporary file behind.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>

#include "cli_support.h"

namespace {

const std::string S = PlainScreensaver;
const std::string C = RequiredChunks;

std::string named(const std::string& name) { return "[screensaver]\nname = \"" + name + "\"\n"; }
std::string texts(const std::string& body) { return "[texts]\n" + body + "\n"; }

struct ErrorCase {
    const char* label;
    std::string manifest;
    int code;
    std::string fragment;
};

// Keeps ctest's listing readable: the case's label instead of its bytes.
void PrintTo(const ErrorCase& c, std::ostream* os) { *os << c.label; }

const ErrorCase ErrorCases[] = {
    // The manifest itself.
    {"syntax error", S + "[texts\n" + C, 2, "manifest.toml:3:7: "},
    {"unknown section", S + "[extras]\n" + C, 2, "manifest.toml:3:2: extras: unknown key"},
    {"unknown key", "[screensaver]\nname = \"A\"\nnmae = \"B\"\n" + C, 2,
     "manifest.toml:3:1: screensaver.nmae: unknown key"},
    {"unknown chunk key", S + C + "movies = \"movie.dat\"\n", 2, "chunks.movies: unknown key"},
    {"unknown key in a chunk table", S + C + "previewb = { file = \"zett.bin\", xro = 1 }\n", 2,
     "chunks.previewb.xro: unknown key"},
    {"wrong type", "[screensaver]\nname = 5\n" + C, 2, "manifest.toml:2:8: screensaver.name: must be a string"},
    {"no screensaver table", C, 2, "[screensaver]: missing"},
    {"no name", "[screensaver]\nkeep_current = true\n" + C, 2, "screensaver.name: missing"},
    {"required chunk missing", S + "[chunks]\nsaver = \"saver.scr\"\nstub = \"stub.bin\"\n"
                                   "movie = \"movie.dat\"\nkmdl = \"kmdl.bin\"\n",
     2, "chunks.zett: missing"},
    // Input files.
    {"missing input file", S + "[chunks]\nsaver = \"nothere.scr\"\nstub = \"stub.bin\"\n"
                               "movie = \"movie.dat\"\nzett = \"zett.bin\"\nkmdl = \"kmdl.bin\"\n",
     1, "nothere.scr: cannot read: No such file or directory (chunks.saver"},
    {"input is a folder", S + C + "previewb = \".\"\n", 1, "cannot read: is a folder"},
    // The screensaver's name.
    {"name with a slash", named("a/b") + C, 2, "screensaver.name: holds a path separator"},
    {"name with a backslash", named("a\\\\b") + C, 2, "holds a path separator ('\\')"},
    {"name with a drive colon", named("C:x") + C, 2, "holds a drive colon"},
    {"name with a control character", named("a\\tb") + C, 2, "holds a control character (U+0009)"},
    {"name with a wildcard", named("a*") + C, 2, "which Windows does not allow in file names"},
    {"name ..", named("..") + C, 2, "\"..\" is not a file name"},
    {"empty name", named("") + C, 2, "screensaver.name: is empty"},
    {"name too long", named(std::string(72, 'n')) + C, 2, "is 72 characters long; at most 71"},
    {"non-ASCII name, no code page", named("Café") + C, 2, "name the code page"},
    {"non-ASCII name without alt_name",
     named("Café") + texts("code_page = 1252") + C, 2, "give screensaver.alt_name too"},
    {"alt_name not ASCII",
     "[screensaver]\nname = \"Cafe\"\nalt_name = \"Café\"\n" + texts("code_page = 1252") + C, 2,
     "screensaver.alt_name: must be plain ASCII"},
    {"alt_name without a code page", "[screensaver]\nname = \"A\"\nalt_name = \"B\"\n" + C, 2,
     "texts.code_page, which is not set"},
    // Texts.
    {"text too long", S + texts("question = \"" + std::string(80, 'q') + "\"") + C, 2,
     "texts.question: is 80 characters long; the installer shows at most 79"},
    {"text too long in its code page",
     S + texts("code_page = 932\nsuccess = \"" + std::string(39, 'a') + "日本語日本語日本語日本語日本語日本語日本語\"") +
         "[texts.alternate]\nsuccess = \"x\"\n" + C,
     2, "is 81 bytes in code page 932 long"},
    {"non-ASCII text without a code page", S + texts("success = \"Fertig ✓\"") + C, 2,
     "texts.success: holds non-ASCII characters: name the code page"},
    {"character missing from the code page",
     S + texts("code_page = 1252\nsuccess = \"日本\"") + "[texts.alternate]\nsuccess = \"x\"\n" + C, 2,
     "the character \"日\" (U+65E5) has no equivalent in code page 1252"},
    {"non-ASCII text without its alternate", S + texts("code_page = 1252\nfailure = \"Échec\"") + C, 2,
     "give texts.alternate.failure too"},
    {"alternate text not ASCII",
     S + texts("code_page = 1252\nfailure = \"Échec\"") + "[texts.alternate]\nfailure = \"Échec\"\n" + C, 2,
     "texts.alternate.failure: must be plain ASCII"},
    {"alternate texts without a code page", S + texts("success = \"ok\"") + "[texts.alternate]\nsuccess = \"ok\"\n" + C,
     2, "texts.alternate: is used only"},
    {"unsupported code page", S + texts("code_page = 437") + C, 2,
     "texts.code_page: 437 is not a Windows ANSI code page"},
    {"NUL in a text", S + texts("success = \"a\\u0000b\"") + C, 2, "holds a control character (U+0000)"},
    // Buttons.
    {"label too long",
     S + texts("question = \"?\"") + "[buttons]\nyes = \"" + std::string(32, 'y') + "\"\nno = \"No\"\n" + C, 2,
     "buttons.yes: is 32 characters long; the installer shows at most 31"},
    {"one label only", S + texts("question = \"?\"") + "[buttons]\nyes = \"Go\"\n" + C, 2,
     "give buttons.yes and buttons.no"},
    {"labels without a question", S + "[buttons]\nyes = \"Go\"\nno = \"Stop\"\n" + C, 2,
     "give texts.question too"},
    {"non-ASCII label without an alternate question",
     S + texts("code_page = 1252\nquestion = \"Go?\"") + "[buttons]\nyes = \"Oui ça\"\nno = \"Non\"\n" + C, 2,
     "buttons.yes: holds non-ASCII characters: give texts.alternate.question too"},
    // Install.
    {"unknown post-install action", S + "[install]\nafter = \"reboot\"\n" + C, 2,
     "install.after: must be \"none\""},
    {"open-document without a document", S + "[install]\nafter = \"open-document\"\n" + C, 2,
     "needs install.document"},
    {"document without open-document", S + "[install]\ndocument = \"zett.bin\"\n" + C, 2,
     "install.document: is opened only with"},
    {"progress without a status text", S + "[install]\nprogress = true\n" + C, 2,
     "install.progress: the progress dialog shows texts.status"},
    {"status text without progress", S + texts("status = \"Wait\"") + C, 2,
     "texts.status: is shown only in the progress dialog"},
    // Chunks.
    {"bad storage", S + C + "previewb = { file = \"zett.bin\", storage = \"zip\" }\n", 2,
     "chunks.previewb.storage: must be"},
    {"xor 0", S + C + "previewb = { file = \"zett.bin\", xor = 0 }\n", 2, "from 1 to 255"},
    {"xor 256", S + C + "previewb = { file = \"zett.bin\", xor = 256 }\n", 2, "from 1 to 255"},
    {"xor on compressed data",
     S + C + "previewb = { file = \"zett.bin\", storage = \"compressed\", xor = 9 }\n", 2,
     "scrambles stored data only"},
    {"a 33rd chunk", S + C + "addtl = [" + [] {
         std::string l;
         for (int i = 0; i < 27; i++) l += std::string(i ? "," : "") + "\"zett.bin\"";
         return l;
     }() + "]\n",
     2, "the installer would hold 33 chunks with INFO; its directory holds at most 32"},
    {"too many ADDL", S + C + "addl = [" + [] {
         std::string l;
         for (int i = 0; i < 18; i++) l += std::string(i ? "," : "") + "\"zett.bin\"";
         return l;
     }() + "]\n",
     2, "at most 17"},
};

class BuildErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(BuildErrors, NamesTheProblemAndLeavesNothing) {
    const ErrorCase& c = GetParam();
    Inputs in;
    RunResult r = in.build(c.manifest);
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_NE(r.err.find(c.fragment), std::string::npos) << r.err;
    EXPECT_EQ(r.err.rfind("sspack: ", 0), 0u) << r.err;
    EXPECT_EQ(folderEntries(in.dir.path()),
              (std::vector<std::string>{"kmdl.bin", "manifest.toml", "movie.dat", "saver.scr",
                                        "stub.bin", "stub.exe", "zett.bin"}));
}

INSTANTIATE_TEST_SUITE_P(Table, BuildErrors, ::testing::ValuesIn(ErrorCases),
                         [](const ::testing::TestParamInfo<ErrorCase>& info) {
                             std::string name;
                             for (char ch : std::string(info.param.label))
                                 name += isalnum((unsigned char)ch) ? ch : '_';
                             return name;
                         });

TEST(SspackBuild, ChunkOf2GiBIsRefusedBeforeAnythingIsWritten) {
    Inputs in;
    // A sparse file: no disk space, no reading.
    const std::string big = in.path("big.dat");
    ASSERT_EQ(truncate((fixture::writeFile(big, {}), big.c_str()), 0x80000000LL), 0);
    RunResult r = in.build(S + C + "previewb = \"big.dat\"\n");
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("big.dat: 2.00 GiB is too large (chunks.previewb"), std::string::npos) << r.err;
    EXPECT_FALSE(fixture::fileExists(in.path("out.exe")));
}

TEST(SspackBuild, AFailedBuildKeepsTheOldOutput) {
    Inputs in;
    fixture::writeFile(in.path("out.exe"), {1, 2, 3});
    RunResult r = in.build(S + C + "previewb = \"gone.bmp\"\n");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(fixture::readFile(in.path("out.exe")), (fixture::Bytes{1, 2, 3}));
}

TEST(SspackBuild, OutputThatCannotBeWritten) {
    Inputs in;
    const std::string manifest = in.manifest(S + C);
    struct {
        std::string out;
        int code;
        std::string fragment;
    } cases[] = {
        {in.path("no/such/folder/out.exe"), 1, "out.exe: cannot write: No such file or directory"},
        {in.dir.path(), 1, "cannot write: is a folder"},
        {in.path("saver.scr"), 64, "is an input of this build"},
        {manifest, 64, "is the manifest"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.out);
        RunResult r = runSspack({"build", manifest, "-o", c.out, "--stub", in.path("stub.exe")});
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_NE(r.err.find(c.fragment), std::string::npos) << r.err;
    }
    EXPECT_EQ(fixture::readFile(in.path("saver.scr")), in.saver);
    EXPECT_EQ(folderEntries(in.dir.path()).size(), 7u);
}

TEST(SspackCommandLine, UsageErrors) {
    Inputs in;
    const std::string manifest = in.manifest(S + C);
    const std::vector<std::string> cases[] = {
        {},
        {"frobnicate"},
        {"build", manifest},                             // no -o
        {"build", manifest, "-o", "x", "--bogus"},
        {"list"},
        {"extract", in.path("stub.exe")},                // neither names nor --all
        {"cat", in.path("stub.exe"), "ABCDEFGHIJKLMNOPQ"},  // longer than any chunk name
    };
    for (const auto& args : cases) {
        std::string line;
        for (const auto& a : args) line += a + " ";
        SCOPED_TRACE(line);
        RunResult r = runSspack(args);
        EXPECT_EQ(r.code, 64) << r.err;
        EXPECT_FALSE(r.err.empty());
    }
    RunResult help = runSspack({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("64 usage error"), std::string::npos);
    EXPECT_NE(runSspack({"build", "--help"}).out.find("SsInstaller.exe"), std::string::npos);
}

}  // namespace
