// Writes the seed corpora of the fuzz targets into <folder>/<target>/.
// Deterministic: the same sources give the same files (see make-seeds.sh).
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "directory.h"
#include "settings.h"
#include "stream.h"
#include "transfer.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string root;

void save(const char* target, const char* name, const Bytes& bytes) {
    std::string dir = root + "/" + target;
    mkdir(dir.c_str(), 0755);
    std::string path = dir + "/" + name;
    FILE* f = fopen(path.c_str(), "wb");
    if (!f || (bytes.size() && fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())) {
        fprintf(stderr, "cannot write %s\n", path.c_str());
        exit(1);
    }
    fclose(f);
}

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes noise(size_t size, uint32_t seed) {
    Bytes b(size);
    for (auto& x : b) {
        seed = seed * 1103515245u + 12345u;
        x = (uint8_t)(seed >> 16);
    }
    return b;
}

Bytes compressed(const Bytes& plain, bool framed = true) {
    Bytes out(plain.size() * 2 + 64);
    int32_t length = (int32_t)plain.size();
    if (!framed) setStreamFraming(false);
    if (!transferChunk(memoryEnd((void*)plain.data(), (uint32_t)plain.size()),
                       memoryEnd(out.data(), (uint32_t)out.size()), length,
                       FlagCompress | FlagMemorySource | FlagMemoryTarget)) {
        fprintf(stderr, "compression failed\n");
        exit(1);
    }
    out.resize((size_t)length);
    return out;
}

// A container built by hand, so that seeds can hold records the writer never
// makes (inline records, shared data).
struct Seed {
    Bytes file;
    std::vector<DirectoryEntry> entries;

    DirectoryEntry& record(const char* name, uint8_t storage, uint8_t key, uint32_t offset,
                           uint32_t stored, uint32_t plain) {
        DirectoryEntry e;
        memset(&e, 0, sizeof e);
        e.storage = storage;
        e.xorKey = key;
        setChunkName(e.name, name);
        putLe32(e.dataOffset, offset);
        putLe32(e.storedSize, stored);
        putLe32(e.plainSize, plain);
        putLe32(e.markerOffset, 0xFFFFFFFF);
        e.recordLength = DirectoryRecordSize;
        putLe32(e.magic, DirectoryMagic);
        entries.push_back(e);
        return entries.back();
    }
    void stored(const char* name, const Bytes& plain, uint8_t key = 0) {
        record(name, StorageStored, key, (uint32_t)file.size(), (uint32_t)plain.size(), (uint32_t)plain.size());
        for (uint8_t b : plain) file.push_back(b ^ key);
    }
    void packed(const char* name, const Bytes& plain) {
        Bytes c = compressed(plain);
        record(name, StorageCompressed, 0, (uint32_t)file.size(), (uint32_t)c.size(), (uint32_t)plain.size());
        file.insert(file.end(), c.begin(), c.end());
    }
    void inlined(const char* name, const Bytes& bytes) {
        DirectoryEntry& e = record(name, StorageInline, 0, 0, 0, 0);
        memcpy((uint8_t*)&e + InlineDataOffset, bytes.data(), bytes.size());
        e.countOrLength = (uint8_t)bytes.size();
    }
    void alias(const char* name, const char* existing) {
        for (const DirectoryEntry& e : entries)
            if (chunkNameEquals(existing, e.name)) {
                DirectoryEntry copy = e;
                setChunkName(copy.name, name);
                entries.push_back(copy);
                return;
            }
    }
    Bytes bytes() const {
        Bytes out = file;
        Bytes dir(entries.size() * DirectoryRecordSize);
        layoutDirectory(entries.data(), (int32_t)entries.size(), dir.data());
        out.insert(out.end(), dir.begin(), dir.end());
        return out;
    }
};

struct Record {
    Bytes bytes = Bytes(InfoRecord::Size, 0);
    void put(int offset, const std::string& s) { memcpy(&bytes[(size_t)offset], s.data(), s.size()); }
    void put32(int offset, uint32_t v) { putLe32(&bytes[(size_t)offset], v); }
    void text(int slot, const std::string& s) {
        put(InfoRecord::Texts + slot * InfoRecord::TextSlotSize, s);
        bytes[(size_t)InfoRecord::TextPresent + slot] = 1;
    }
};

Record sampleRecord() {
    Record r;
    r.put(InfoRecord::ScreensaverName, "Seed Saver");
    r.text(0, "Install the Seed Saver screensaver?");
    r.text(1, "The screensaver was installed.");
    r.text(2, "The screensaver could not be installed.");
    r.text(3, "Installing...");
    r.put32(InfoRecord::ShowProgress, 1);
    r.put32(InfoRecord::PostInstallAction, 3);
    r.put(InfoRecord::DocumentPath, "C:\\Seed\\readme.htm");
    return r;
}

void containerSeeds() {
    const Bytes info = sampleRecord().bytes;
    Seed s;
    s.file = noise(64, 1);  // the program image in front
    s.stored("SAVER", noise(200, 2), 0x5A);
    s.packed("STUB", text("stub stub stub stub"));
    s.packed("MOVIE", noise(300, 3));
    s.packed("INFO", info);
    s.alias("PREVIEWF", "MOVIE");
    s.packed("ZETT", text("zett"));
    s.packed("KMDL", Bytes(500, 7));
    s.stored("ADDTL", text("extra"));
    s.stored("ADDTL01", text("more extra"), 0x33);
    Bytes installer = s.bytes();
    save("container", "installer", installer);
    Bytes cut(installer.begin(), installer.end() - 1);
    save("container", "installer-cut", cut);

    Seed t;
    t.stored("SAVER", noise(100, 4));
    t.stored("STUB", text("stub"));
    t.packed("MOVIE", text("movie"));
    t.stored("INFO", info);
    t.packed("PREVIEWB", text("preview b"));
    t.stored("PREVIEWF", text("preview f"), 0x11);
    t.stored("ZETT", text(""));
    t.stored("KMDL", text("kmdl"));
    t.inlined("LESMI", text("<p>read me</p>"));
    t.packed("ADDL3", noise(50, 5));
    save("container", "installer-stored-info", t.bytes());

    Seed one;
    one.stored("SAVER", text("MZ"));
    save("container", "one-record", one.bytes());
    save("container", "short", Bytes(39, 0));
}

void expandSeeds() {
    save("expand", "empty", compressed({}));
    save("expand", "abc", compressed(text("abc")));
    save("expand", "text", compressed(text("It was a bright cold day in April, and the clocks were "
                                           "striking thirteen. It was a bright cold day.")));
    Bytes runs;
    for (int i = 0; i < 3000; i++) runs.push_back((uint8_t)(i / 100 + (i % 3)));
    save("expand", "runs", compressed(runs));
    save("expand", "two-blocks", compressed(noise(10500, 6)));
    save("expand", "bare-text", compressed(text("bare codes without blocks, bare codes"), false));
}

void roundtripSeeds() {
    save("roundtrip", "empty", {});
    save("roundtrip", "text", text("the quick brown fox jumps over the lazy dog; the quick brown fox"));
    save("roundtrip", "noise", noise(700, 7));
    save("roundtrip", "zeros", Bytes(2000, 0));
}

void settingsSeeds() {
    Record plain = sampleRecord();
    plain.bytes.back() = 0;  // last byte not ending in three 1 bits: stored
    save("settings", "sample-stored", plain.bytes);
    Record packed = sampleRecord();
    packed.bytes.back() = 7;  // last byte ending in three 1 bits: compressed
    save("settings", "sample-compressed", packed.bytes);

    Record alt = sampleRecord();
    alt.put32(InfoRecord::TextCodePage, 932);
    alt.put(InfoRecord::AltTexts, "alternate question");
    alt.bytes[InfoRecord::AltTextPresent] = 1;
    alt.put(InfoRecord::AltScreensaverName, "Alt Saver");
    alt.put32(InfoRecord::CustomLabels, 1);
    alt.put(InfoRecord::YesLabel, "Sure");
    alt.put(InfoRecord::NoLabel, "Never");
    save("settings", "alternate-texts", alt.bytes);

    Record full;
    for (int slot = 0; slot < InfoRecord::TextSlots; slot++)
        full.text(slot, std::string(InfoRecord::TextSlotSize, 'x'));
    full.put(InfoRecord::ScreensaverName, std::string(InfoRecord::ScreensaverNameSize, 'n'));
    save("settings", "full-fields", full.bytes);
    save("settings", "short-record", Bytes(100, 1));
}

// [name length][path length / 8][name][path, NUL padded][text]
Bytes wininit(const std::string& name, const std::string& path, const std::string& file) {
    Bytes b;
    size_t pathRoom = (path.size() + 7) / 8 * 8;
    b.push_back((uint8_t)name.size());
    b.push_back((uint8_t)(pathRoom / 8));
    b.insert(b.end(), name.begin(), name.end());
    b.insert(b.end(), path.begin(), path.end());
    b.resize(b.size() + pathRoom - path.size(), 0);
    b.insert(b.end(), file.begin(), file.end());
    return b;
}

void wininitSeeds() {
    const std::string doc = "C:\\WINDOWS\\TEMP\\x.htm";
    save("wininit", "absent", wininit("NUL", doc, ""));
    save("wininit", "no-header", wininit("NUL", doc, "[boot]\r\nshell=Explorer.exe\r\n"));
    save("wininit", "no-final-break", wininit("NUL", doc, "[boot]\r\nshell=Explorer.exe"));
    save("wininit", "header-capitals", wininit("NUL", doc, "[RENAME]\r\nNUL=C:\\old.txt\r\n"));
    save("wininit", "line-present", wininit("NUL", doc, "[Rename]\r\nnul=c:\\windows\\temp\\X.HTM\r\n"));
    save("wininit", "header-spaces", wininit("NUL", doc, "[Rename]  \r\n[Rename]\n"));
    save("wininit", "rename", wininit("C:\\new.dll", "C:\\WINDOWS\\SYSTEM\\old.dll", "[Rename]\r\n"));
}

void commandSeeds() {
    auto cmd = [](const std::string& command, const std::string& target) {
        Bytes b = text(command);
        b.push_back(0);
        b.insert(b.end(), target.begin(), target.end());
        return b;
    };
    save("command", "quoted", cmd("\"C:\\Program Files\\App\\app.exe\" \"%1\"", "C:\\TEMP\\doc.htm"));
    save("command", "plain", cmd("notepad.exe %1", "C:\\TEMP\\x.txt"));
    save("command", "no-placeholder", cmd("app.exe", "target"));
    save("command", "empty-target", cmd("\"C:\\x.exe\" \"%1\" %*", ""));
    save("command", "percents", cmd("app %* %1 %2 %% %*", "t"));
}

void shortNameSeeds() {
    auto name = [](const std::string& n, const std::string& dir) {
        Bytes b = text(n);
        b.push_back(0);
        b.insert(b.end(), dir.begin(), dir.end());
        return b;
    };
    save("short_name", "short", name("MYSAVER.scr", "C:\\WINDOWS"));
    save("short_name", "space", name("My Saver.scr", "C:\\"));
    save("short_name", "tilde", name("MYSAVE~1.scr", ""));
    save("short_name", "nine", name("ABCDEFGHI.scr", "C:\\WINDOWS\\"));
    save("short_name", "escape", name("..\\evil.scr", "C:\\WINDOWS"));
    save("short_name", "document", name("C:\\docs\\readme.htm", "C:\\TEMP"));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: make_fuzz_seeds <corpus folder>\n");
        return 2;
    }
    root = argv[1];
    mkdir(root.c_str(), 0755);
    containerSeeds();
    expandSeeds();
    roundtripSeeds();
    settingsSeeds();
    wininitSeeds();
    commandSeeds();
    shortNameSeeds();
    return 0;
}
