// list, verify, extract, cat and info on sound, damaged and crafted
// containers.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "cli_support.h"

namespace {

using fixture::Bytes;
using Json = nlohmann::json;

bool has(const std::string& text, const std::string& piece) {
    return text.find(piece) != std::string::npos;
}

TEST(SspackList, JsonMatchesEveryFieldTheFixtureWrote) {
    fixture::Container c;
    c.prefix = fixture::pattern(100);
    c.addStored("SAVER", fixture::pattern(500, 2));
    c.addStored("MOVIE", fixture::pattern(300, 3), 0x5A).markerOffset = 17;
    c.addCompressed("INFO", Bytes(6148, 0));
    c.addInline("TAG", {1, 2, 3});
    fixture::Record odd;
    odd.name = "ODD";
    odd.countOrLength = 9;  // copied value in a record that is not the first
    odd.dataOffset = 0x12345678;
    odd.storedSize = 5;
    odd.plainSize = 6;
    odd.markerOffset = -7;
    c.addRecord(odd);
    fixture::TempDir dir;
    c.writeTo(dir.file("c.bin"));

    RunResult r = runSspack({"list", "--json", dir.file("c.bin")});
    ASSERT_EQ(r.code, 0) << r.err;
    Json list = Json::parse(r.out);
    ASSERT_EQ(list.size(), c.records.size());
    const char* storage[] = {"stored", "compressed"};
    for (size_t k = 0; k < c.records.size(); k++) {
        const fixture::Record& w = c.records[k];
        const Json& j = list[k];
        SCOPED_TRACE(w.name);
        EXPECT_EQ(j["name"], w.name);
        EXPECT_EQ(j["storage"], w.storage == StorageInline ? "inline" : storage[w.storage]);
        EXPECT_EQ(j["xorKey"], w.xorKey);
        EXPECT_EQ(j["countOrLength"], k == 0 ? c.records.size() : w.countOrLength);
        if (w.storage == StorageInline) {
            EXPECT_TRUE(j["dataOffset"].is_null());
            EXPECT_EQ(j["inlineData"], "010203");
            continue;
        }
        EXPECT_EQ(j["dataOffset"], w.dataOffset);
        EXPECT_EQ(j["storedSize"], w.storedSize);
        EXPECT_EQ(j["plainSize"], w.plainSize);
        EXPECT_EQ(j["markerOffset"], w.markerOffset);
    }
    EXPECT_EQ(list[1]["markerOffset"], 17);

    RunResult text = runSspack({"list", dir.file("c.bin")});
    EXPECT_EQ(text.code, 0);
    EXPECT_TRUE(has(text.out, "MOVIE")) << text.out;
    EXPECT_TRUE(has(text.out, "inline")) << text.out;
}

TEST(SspackList, FilesWithoutADirectory) {
    fixture::TempDir dir;
    fixture::writeFile(dir.file("plain.txt"), fixture::pattern(1000));
    fixture::writeFile(dir.file("short"), Bytes(39, 0));
    struct {
        std::string path;
        int code;
        std::string fragment;
    } cases[] = {
        {dir.file("plain.txt"), 2, "plain.txt: no chunk directory found"},
        {dir.file("short"), 2, "short: no chunk directory found"},
        {dir.file("missing"), 1, "missing: cannot read: No such file or directory"},
        {dir.path(), 1, "cannot read: is a folder"},
    };
    for (auto& c : cases) {
        for (const char* command : {"list", "verify", "info"}) {
            SCOPED_TRACE(std::string(command) + " " + c.path);
            RunResult r = runSspack({command, c.path});
            EXPECT_EQ(r.code, c.code);
            EXPECT_TRUE(has(r.err, c.fragment)) << r.err;
        }
    }
}

// A small installer built by sspack; chunk ranges come from list --json.
struct Built {
    Inputs in;
    std::string file;
    Json records;
    Built() {
        Bytes text;
        for (int i = 0; text.size() < 200000; i++) {
            std::string line = "line " + std::to_string(i * 7919 % 10007) + " of the movie\n";
            text.insert(text.end(), line.begin(), line.end());
        }
        fixture::writeFile(in.path("movie.dat"), text);
        RunResult r = in.build(std::string(PlainScreensaver) + RequiredChunks);
        EXPECT_EQ(r.code, 0) << r.err;
        file = in.path("out.exe");
        records = Json::parse(runSspack({"list", "--json", file}).out);
    }
    const Json& record(const std::string& name) const {
        for (const Json& r : records)
            if (r["name"] == name) return r;
        throw std::runtime_error("no record " + name);
    }
};

// Flips one bit at offset of a copy of the installer; verify's result.
RunResult verifyWithFlip(const Built& b, uint32_t offset, uint8_t mask) {
    Bytes bytes = fixture::readFile(b.file);
    bytes[offset] ^= mask;
    const std::string damaged = b.in.path("damaged.exe");
    fixture::writeFile(damaged, bytes);
    return runSspack({"verify", damaged});
}

TEST(SspackVerify, AnyFlippedByteOfACompressedChunkIsFoundAndNamed) {
    Built b;
    ASSERT_EQ(runSspack({"verify", b.file}).code, 0);
    // Every byte of a small compressed chunk, and a spread of bytes of a
    // chunk of many blocks.
    std::vector<std::pair<std::string, uint32_t>> flips;
    const Json& zett = b.record("ZETT");
    ASSERT_EQ(zett["storage"], "compressed");
    for (uint32_t i = 0; i < zett["storedSize"]; i++) flips.push_back({"ZETT", i});
    const Json& movie = b.record("MOVIE");
    const uint32_t size = movie["storedSize"];
    ASSERT_GT(size, 20000u);
    for (uint32_t i : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 10u, 11u, 12u, 13u, size / 3, size / 2,
                       size - 3, size - 2, size - 1})
        flips.push_back({"MOVIE", i});
    for (size_t n = 0; n < flips.size(); n++) {
        const auto& [name, i] = flips[n];
        const uint32_t offset = b.record(name)["dataOffset"].get<uint32_t>() + i;
        const uint8_t mask = n % 2 ? 0x80 : 0x01;  // the lowest and the highest bit
        SCOPED_TRACE(name + " byte " + std::to_string(i) + " mask " + std::to_string(mask));
        RunResult r = verifyWithFlip(b, offset, mask);
        EXPECT_EQ(r.code, 2);
        EXPECT_TRUE(has(r.err, "damaged: 1 of 6 chunks fail (" + name + ")")) << r.err << r.out;
    }
}

TEST(SspackVerify, ACutOrExtendedFileIsADamagedInstaller) {
    Built b;
    Bytes whole = fixture::readFile(b.file);
    const std::string damaged = b.in.path("damaged.exe");
    struct {
        const char* label;
        Bytes bytes;
    } cases[] = {
        {"last byte cut", Bytes(whole.begin(), whole.end() - 1)},
        {"last record cut", Bytes(whole.begin(), whole.end() - 40)},
        {"cut in half", Bytes(whole.begin(), whole.begin() + whole.size() / 2)},
        {"bytes appended", [&] { Bytes x = whole; x.push_back(0); return x; }()},
    };
    for (auto& c : cases) {
        fixture::writeFile(damaged, c.bytes);
        for (const char* command : {"verify", "list", "info", "extract"}) {
            SCOPED_TRACE(std::string(c.label) + ", " + command);
            std::vector<std::string> args = {command, damaged};
            if (std::string(command) == "extract") args.push_back("--all");
            RunResult r = runSspack(args);
            EXPECT_EQ(r.code, 2);
            EXPECT_TRUE(has(r.err, "damaged.exe: no chunk directory found")) << r.err;
            EXPECT_TRUE(has(r.err, "damaged")) << r.err;
        }
    }
}

// Containers whose directory is readable but whose records are not sound.
TEST(SspackVerify, RecordsThatDoNotHoldTogether) {
    const Bytes plain = fixture::pattern(2000, 8);
    auto compressed = fixture::compress(Bytes(5000, 'q'));
    ASSERT_TRUE(compressed);
    struct Case {
        const char* label;
        std::function<void(fixture::Container&)> craft;
        std::string problem;
        bool dataBad = true;  // false: a reader still reads the data as the record says
    };
    const Case cases[] = {
        {"data past the directory",
         [&](fixture::Container& c) { c.addStored("BAD", plain).storedSize = 3000; }, "runs past the chunk data"},
        {"stored sizes differ",
         [&](fixture::Container& c) { c.addStored("BAD", plain).plainSize = 1999; }, "its plain size says 1999"},
        {"compressed data cut short",
         [&](fixture::Container& c) {
             auto& r = c.addData("BAD", Bytes(compressed->begin(), compressed->end() - 4));
             r.storage = StorageCompressed;
             r.plainSize = 5000;
         },
         "compressed data is damaged"},
        {"compressed expands to another size",
         [&](fixture::Container& c) {
             auto& r = c.addData("BAD", *compressed);
             r.storage = StorageCompressed;
             r.plainSize = 4999;
         },
         "expands to 5000 bytes, but its plain size says 4999"},
        {"stored size past the blocks",
         [&](fixture::Container& c) {
             Bytes padded = *compressed;
             padded.insert(padded.end(), {1, 2, 3});
             auto& r = c.addData("BAD", padded);
             r.storage = StorageCompressed;
             r.plainSize = 5000;
         },
         "but its stored size is", false},
        {"stored size short of the blocks",
         [&](fixture::Container& c) {
             auto& r = c.addData("BAD", *compressed);
             r.storage = StorageCompressed;
             r.plainSize = 5000;
             r.storedSize -= 2;
         },
         "its blocks run past its stored size", false},
        {"compressed with a key",
         [&](fixture::Container& c) {
             auto& r = c.addData("BAD", *compressed);
             r.storage = StorageCompressed;
             r.plainSize = 5000;
             r.xorKey = 3;
         },
         "compressed data with an XOR key", false},
        {"unknown storage", [&](fixture::Container& c) { c.addStored("BAD", plain).storage = 7; },
         "unknown storage kind 7"},
        {"garbled record", [&](fixture::Container& c) { c.addStored("BAD", plain).magic = 1; },
         "the record is garbled", false},
        {"inline length 17", [&](fixture::Container& c) { c.addInline("BAD", {1}).countOrLength = 17; },
         "inline length 17", false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.label);
        fixture::Container c;
        c.prefix = fixture::pattern(64);
        c.addStored("GOOD", plain);
        k.craft(c);
        fixture::TempDir dir;
        c.writeTo(dir.file("c.bin"));
        RunResult v = runSspack({"verify", dir.file("c.bin")});
        EXPECT_EQ(v.code, 2);
        EXPECT_TRUE(has(v.out, "BAD") && has(v.out, k.problem)) << v.out;
        EXPECT_TRUE(has(v.err, "1 of 2 chunks fail (BAD)")) << v.err;
        // GOOD still extracts; BAD data is refused and leaves no file.
        RunResult x = runSspack({"extract", dir.file("c.bin"), "--all", "-o", dir.file("x")});
        EXPECT_EQ(fixture::readFile(dir.file("x/GOOD")), plain);
        if (k.dataBad) {
            EXPECT_EQ(x.code, 2);
            EXPECT_TRUE(has(x.err, "chunk BAD is damaged")) << x.err;
            EXPECT_EQ(folderEntries(dir.file("x")), std::vector<std::string>{"GOOD"});
        }
    }
}

TEST(SspackExtract, NamesThatAreNotSafeFileNamesAreNotWritten) {
    fixture::Container c;
    for (const char* name : {"../evil", "a/b", "..", "C:x", "a\\b", "OK"})
        c.addStored(name, Bytes(10, 'x'));
    c.addStored("ok", Bytes(3, 'y'));  // the same name again: OK answers for it
    fixture::TempDir dir;
    c.writeTo(dir.file("c.bin"));
    RunResult r = runSspack({"extract", dir.file("c.bin"), "--all", "-o", dir.file("out/x")});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(has(r.err, "chunk \"../evil\" has a name that is not a safe file name")) << r.err;
    EXPECT_EQ(folderEntries(dir.file("out/x")), std::vector<std::string>{"OK"});
    EXPECT_EQ(folderEntries(dir.file("out")), std::vector<std::string>{"x"});
    EXPECT_EQ(fixture::readFile(dir.file("out/x/OK")), Bytes(10, 'x'));

    RunResult v = runSspack({"verify", dir.file("c.bin")});
    EXPECT_EQ(v.code, 0) << v.out;
    EXPECT_TRUE(has(v.out, "unreachable by name (record 5 comes first)")) << v.out;
}

TEST(SspackExtract, ChosenChunksAndCat) {
    Built b;
    const std::string dir = b.in.path("chosen");
    RunResult r = runSspack({"extract", b.file, "movie", "SAVER", "-o", dir});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(folderEntries(dir), (std::vector<std::string>{"MOVIE", "SAVER"}));
    EXPECT_EQ(fixture::readFile(dir + "/SAVER"), b.in.saver);

    RunResult missing = runSspack({"extract", b.file, "PREVIEWB", "-o", dir});
    EXPECT_EQ(missing.code, 2);
    EXPECT_TRUE(has(missing.err, "out.exe: no chunk named PREVIEWB")) << missing.err;

    RunResult cat = runSspack({"cat", b.file, "Stub"});
    EXPECT_EQ(cat.code, 0);
    EXPECT_EQ(Bytes(cat.out.begin(), cat.out.end()), b.in.stub);
    EXPECT_EQ(runSspack({"cat", b.file, "LESMI"}).code, 2);
}

TEST(SspackInfo, ReportsMissingChunksAndSettings) {
    fixture::Container c;
    c.addStored("SAVER", Bytes(10, 's'));
    fixture::TempDir dir;
    c.writeTo(dir.file("c.bin"));
    RunResult noInfo = runSspack({"info", dir.file("c.bin")});
    EXPECT_EQ(noInfo.code, 2);
    EXPECT_TRUE(has(noInfo.err, "no INFO chunk")) << noInfo.err;

    Built b;
    RunResult info = runSspack({"info", b.file});
    EXPECT_EQ(info.code, 0) << info.err;
    EXPECT_TRUE(has(info.out, "writes \"Aurora.scr\" into the Windows folder")) << info.out;
    EXPECT_TRUE(has(info.out, "installs without asking")) << info.out;
}

}  // namespace
