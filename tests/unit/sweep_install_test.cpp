// Corruption sweep: a sample installer cut short and bit-flipped in many
// places, each damaged copy run through the installer's read-and-write path.
// Every case must end in one of four ways:
//   identical  - the same new file as from the intact installer (the damage
//                hit bytes that nothing reads);
//   stored     - a new file that differs only inside a stored chunk whose
//                data was hit (stored data carries no checksum);
//   damaged    - the installer is refused as damaged (no valid directory);
//   latched    - the installation failed and its partial file was deleted.
// Each family of damage also has the one outcome it must give, so that a
// check that silently stopped working shows up as a wrong outcome.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "hardening_install.h"
#include "rcblock.h"

namespace {

using fixture::Bytes;
using fixture::Container;
using fixture::Record;
using hardening::Outcome;

// Under the sanitizers each case costs several times as much; the two large
// families (whose cases all take the same short path) then take every third
// case, which still meets every bit position of the directory.
#if defined(__SANITIZE_ADDRESS__)
constexpr size_t DenseStride = 3;
#else
constexpr size_t DenseStride = 1;
#endif

enum Kind { Identical, StoredDiffers, Damaged, Latched, Other, KindCount };
const char* const KindNames[KindCount] = {"identical", "stored-differs", "damaged", "latched", "other"};

// The sample: a program image, then chunks of every form the installer meets.
struct Sample {
    Container c;
    Bytes bytes;
    size_t dataEnd = 0;  // where the directory begins

    Sample() {
        Bytes info(InfoRecord::Size, 0);
        memcpy(&info[InfoRecord::ScreensaverName], "Sweep Saver", 11);
        memcpy(&info[InfoRecord::Texts + 2 * InfoRecord::TextSlotSize], "Failed.", 7);
        info[InfoRecord::TextPresent + 2] = 1;

        Bytes text;
        for (int i = 0; i < 2000; i++) text.push_back((uint8_t)("screensaver stub "[i % 17]));
        Bytes zett = fixture::pattern(12000, 5);
        for (size_t i = 0; i < zett.size(); i += 3) zett[i] = 0;

        c.prefix = fixture::pattern(4096, 1);
        c.addStored("SAVER", fixture::pattern(3000, 2), 0x5A);
        c.addCompressed("STUB", text);
        c.addCompressed("MOVIE", fixture::pattern(25000, 3));  // three code blocks
        c.addCompressed("INFO", info);
        Record preview = c.records[2];
        preview.name = "PREVIEWF";
        c.addRecord(preview);
        c.addCompressed("ZETT", zett);
        c.addCompressed("KMDL", fixture::pattern(500, 4));
        c.addStored("ADDTL", fixture::pattern(700, 6));
        c.addStored("ADDTL01", fixture::pattern(300, 7), 0x33);
        bytes = c.bytes();
        dataEnd = c.prefix.size() + c.data.size();
    }

    // The record whose data holds file offset `at`, or null (prefix, directory).
    const Record* chunkAt(size_t at) const {
        for (const Record& r : c.records)
            if (r.storage != StorageInline && at >= r.dataOffset && at < r.dataOffset + r.storedSize) return &r;
        return nullptr;
    }
    // File offsets of every RcBlock header of the compressed chunks.
    std::vector<size_t> blockHeaders() const {
        std::vector<size_t> headers;
        for (const Record& r : c.records) {
            if (r.storage != StorageCompressed || r.name == "PREVIEWF") continue;
            for (size_t at = r.dataOffset; at < r.dataOffset + r.storedSize;) {
                headers.push_back(at);
                at += (size_t)(bytes[at + 4] | bytes[at + 5] << 8);
            }
        }
        return headers;
    }
};

class CorruptionSweep : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        sample = new Sample;
        dir = new fixture::TempDir;
        fixture::writeFile(installerPath(), sample->bytes);
        hardening::InstallResult r = hardening::installFrom(installerPath(), targetPath());
        ASSERT_EQ(r.outcome, Outcome::Installed) << "the intact sample does not install";
        intact = new Bytes(fixture::readFile(targetPath()));
        intactRecords = new std::vector<Record>(fixture::readDirectory(*intact, 9));
        ASSERT_EQ(intactRecords->size(), 9u);
    }
    static void TearDownTestSuite() {
        delete sample;
        delete dir;
        delete intact;
        delete intactRecords;
    }
    void TearDown() override {
        printf("[ outcomes ] %-16s", name);
        for (int k = 0; k < KindCount; k++) printf(" %s %d", KindNames[k], counts[k]);
        printf("\n");
        EXPECT_EQ(counts[Other], 0) << "cases that ended otherwise";
    }

    static std::string installerPath() { return dir->file("damaged.exe"); }
    static std::string targetPath() { return dir->file("new.scr"); }

    // The output chunk ranges that may differ when source bytes [from, to)
    // of the installer were changed: those of stored chunks holding them.
    static bool diffAllowed(size_t at, const std::vector<size_t>& changed) {
        for (size_t pos : changed) {
            const Record* source = sample->chunkAt(pos);
            if (!source || source->storage != StorageStored) continue;
            for (const Record& out : *intactRecords)
                if (out.name == source->name && at >= out.dataOffset && at < out.dataOffset + out.storedSize)
                    return true;
        }
        return false;
    }

    // Runs one damaged installer and classifies the result.
    Kind classify(const Bytes& damaged, const std::vector<size_t>& changed) {
        fixture::writeFile(installerPath(), damaged);
        DeleteFileA(targetPath().c_str());
        hardening::InstallResult r = hardening::installFrom(installerPath(), targetPath());
        bool exists = fixture::fileExists(targetPath());
        switch (r.outcome) {
            case Outcome::Damaged: return exists ? Other : Damaged;
            case Outcome::Latched: return exists ? Other : Latched;
            case Outcome::Installed: break;
        }
        Bytes out = fixture::readFile(targetPath());
        if (out == *intact) return Identical;
        if (out.size() != intact->size()) return Other;
        for (size_t i = 0; i < out.size(); i++)
            if (out[i] != (*intact)[i] && !diffAllowed(i, changed)) return Other;
        return StoredDiffers;
    }

    // Counts a case; a wrong or unexpected outcome is reported with its label.
    void run(const Bytes& damaged, const std::vector<size_t>& changed, Kind expected, const std::string& label) {
        Kind kind = classify(damaged, changed);
        counts[kind]++;
        if (kind != expected && reported++ < 10)
            ADD_FAILURE() << label << ": " << KindNames[kind] << ", expected " << KindNames[expected];
    }

    static Bytes flipped(size_t at, int bit) {
        Bytes b = sample->bytes;
        b[at] ^= (uint8_t)(1u << bit);
        return b;
    }

    static Sample* sample;
    static fixture::TempDir* dir;
    static Bytes* intact;
    static std::vector<Record>* intactRecords;
    const char* name = "";
    int counts[KindCount] = {};
    int reported = 0;
};

Sample* CorruptionSweep::sample;
fixture::TempDir* CorruptionSweep::dir;
Bytes* CorruptionSweep::intact;
std::vector<Record>* CorruptionSweep::intactRecords;

// Cutting the file loses the directory at its end: always a damaged installer.
TEST_F(CorruptionSweep, Truncations) {
    name = "truncations";
    const size_t size = sample->bytes.size();
    const size_t tail = 2048, stride = 89;
    for (size_t cut = 1; cut <= tail; cut += DenseStride) {
        Bytes b(sample->bytes.begin(), sample->bytes.end() - (long)cut);
        run(b, {}, Damaged, "cut " + std::to_string(cut) + " bytes");
    }
    for (size_t keep = 0; keep + tail < size; keep += stride) {
        Bytes b(sample->bytes.begin(), sample->bytes.begin() + (long)keep);
        run(b, {}, Damaged, "kept " + std::to_string(keep) + " bytes");
    }
}

// The directory is one cipher run: any flipped bit garbles the record that
// ends the file, whose count and magic then fail.
TEST_F(CorruptionSweep, DirectoryBitFlips) {
    name = "directory flips";
    const size_t bits = (sample->bytes.size() - sample->dataEnd) * 8;
    for (size_t n = 0; n < bits; n += DenseStride) {
        size_t at = sample->dataEnd + n / 8;
        int bit = (int)(n % 8);
        run(flipped(at, bit), {at}, Damaged, "directory byte " + std::to_string(at) + " bit " + std::to_string(bit));
    }
}

// Magic, checksum and length of every block are checked before its codes are
// used: the copy fails, latches, and the partial file goes.
TEST_F(CorruptionSweep, BlockHeaderBitFlips) {
    name = "block headers";
    std::vector<size_t> headers = sample->blockHeaders();
    ASSERT_GE(headers.size(), 12u);  // per chunk a size block and code blocks, MOVIE three
    for (size_t header : headers)
        for (size_t at = header; at < header + RcHeaderSize; at++)
            for (int bit = 0; bit < 8; bit++)
                run(flipped(at, bit), {at}, Latched,
                    "block header byte " + std::to_string(at) + " bit " + std::to_string(bit));
}

// Flips across the data: nothing reads the program image; stored chunks arrive
// with the flip; compressed chunks fail their block checksum. The first and
// last byte of every chunk are hit, and bytes at a stride between them.
TEST_F(CorruptionSweep, PayloadBitFlips) {
    name = "payload flips";
    std::vector<size_t> positions;
    for (size_t at = 0; at < sample->dataEnd; at += 61) positions.push_back(at);
    for (const Record& r : sample->c.records) {
        positions.push_back(r.dataOffset);
        positions.push_back(r.dataOffset + r.storedSize - 1);
    }
    for (size_t at : positions) {
        const Record* chunk = sample->chunkAt(at);
        Kind expected = !chunk ? Identical : chunk->storage == StorageStored ? StoredDiffers : Latched;
        int bit = (int)(at % 8);
        run(flipped(at, bit), {at}, expected, "data byte " + std::to_string(at) + " bit " + std::to_string(bit));
    }
}

}  // namespace
