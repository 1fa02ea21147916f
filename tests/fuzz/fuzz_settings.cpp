// Any bytes as the settings record: an installer carrying them as INFO beside
// a few other chunks is loaded as at start-up. INFO is stored, or compressed
// when the input's last byte ends in three 1 bits (compressing is slow under
// the fuzzer, and the record is read the same either way). Properties: every text the settings hold is
// terminated inside its field, the file name ends in ".scr", the progress
// total is never negative, and nothing is read or written past a buffer.
#include <string.h>

#include <vector>

#include "directory.h"
#include "fuzz_support.h"
#include "settings.h"
#include "transfer.h"

namespace {

const InstallerSettingsRecord Defaults = InstallerSettings;

std::vector<uint8_t> packed(const uint8_t* plain, size_t size) {
    std::vector<uint8_t> out(2 * size + 64);
    int32_t length = (int32_t)size;
    fuzz::check(transferChunk(memoryEnd((void*)plain, (uint32_t)size), memoryEnd(out.data(), (uint32_t)out.size()),
                              length, FlagCompress | FlagMemorySource | FlagMemoryTarget),
                "compression failed");
    out.resize((size_t)length);
    return out;
}

DirectoryEntry entry(const char* name, uint8_t storage, size_t offset, size_t stored, size_t plain) {
    DirectoryEntry e;
    memset(&e, 0, sizeof e);
    e.storage = storage;
    setChunkName(e.name, name);
    putLe32(e.dataOffset, (uint32_t)offset);
    putLe32(e.storedSize, (uint32_t)stored);
    putLe32(e.plainSize, (uint32_t)plain);
    putLe32(e.markerOffset, 0xFFFFFFFF);
    e.recordLength = DirectoryRecordSize;
    putLe32(e.magic, DirectoryMagic);
    return e;
}

// The installer's bytes: a fixed part made once (a program image, SAVER,
// MOVIE and an ADDL chunk for the progress total), then INFO and the directory.
std::vector<uint8_t> installer(const uint8_t* record, size_t size, bool compressed) {
    static std::vector<uint8_t> fixed;
    static std::vector<DirectoryEntry> entries;
    if (fixed.empty()) {
        uint8_t saver[300], movie[2000];
        for (size_t i = 0; i < sizeof saver; i++) saver[i] = (uint8_t)(i * 7);
        for (size_t i = 0; i < sizeof movie; i++) movie[i] = (uint8_t)(i % 61);
        fixed.assign(512, 0x90);
        entries.push_back(entry("SAVER", StorageStored, fixed.size(), sizeof saver, sizeof saver));
        fixed.insert(fixed.end(), saver, saver + sizeof saver);
        for (const char* name : {"MOVIE", "ADDL3"}) {
            size_t plain = name[0] == 'M' ? sizeof movie : 100;
            std::vector<uint8_t> c = packed(movie, plain);
            entries.push_back(entry(name, StorageCompressed, fixed.size(), c.size(), plain));
            fixed.insert(fixed.end(), c.begin(), c.end());
        }
    }
    std::vector<uint8_t> file = fixed;
    std::vector<DirectoryEntry> all = entries;
    std::vector<uint8_t> info = compressed ? packed(record, size) : std::vector<uint8_t>(record, record + size);
    all.push_back(entry("INFO", compressed ? StorageCompressed : StorageStored, file.size(), info.size(), size));
    file.insert(file.end(), info.begin(), info.end());
    size_t at = file.size();
    file.resize(at + all.size() * DirectoryRecordSize);
    layoutDirectory(all.data(), (int32_t)all.size(), file.data() + at);
    return file;
}

void checkText(const char* field, size_t size, const char* what) {
    fuzz::check(memchr(field, 0, size) != nullptr, what);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = fuzz::scratchPath("settings");
    const bool compressed = size > 0 && (data[size - 1] & 7) == 7;
    std::vector<uint8_t> file = installer(data, size, compressed);
    fuzz::writeWhole(path.c_str(), file.data(), file.size());

    InstallerSettings = Defaults;
    loadSettingsFrom(path.c_str());
    const InstallerSettingsRecord& s = InstallerSettings;
    checkText(s.ScreensaverFileName, sizeof s.ScreensaverFileName, "file name not terminated");
    checkText(s.QuestionText, sizeof s.QuestionText, "question not terminated");
    checkText(s.SuccessMessage, sizeof s.SuccessMessage, "success message not terminated");
    checkText(s.FailureMessage, sizeof s.FailureMessage, "failure message not terminated");
    checkText(s.StatusText, sizeof s.StatusText, "status text not terminated");
    checkText(s.YesLabel, sizeof s.YesLabel, "yes label not terminated");
    checkText(s.NoLabel, sizeof s.NoLabel, "no label not terminated");
    checkText(s.DisplayPropertiesCommand, sizeof s.DisplayPropertiesCommand, "command not terminated");
    fuzz::check(s.ProgressTotal >= 0, "negative progress total");
    bool loads = !compressed || size <= (size_t)InfoRecord::Size;
    fuzz::check(loads == (strcmp(s.ScreensaverFileName, Defaults.ScreensaverFileName) != 0),
                "a record that fits did not load, or one that does not fit did");
    if (loads) {
        size_t n = strlen(s.ScreensaverFileName);
        fuzz::check(n >= 4 && memcmp(s.ScreensaverFileName + n - 4, ".scr", 4) == 0,
                    "a loaded file name does not end in .scr");
    }
    // The record as read, then the fields the install sequence reads from it.
    for (int offset = -4; offset <= InfoRecord::Size; offset += 4) infoField32(offset);
    infoField32(InfoRecord::Size - 3);
    return 0;
}
