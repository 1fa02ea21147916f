// A write failure while the new screensaver file is written (a full disk)
// fails the installation and the partial file is deleted; nothing reports
// success for a file that was cut short.
//
// /dev/full refuses every write. A disk that fills up part way is played by
// the file size limit (RLIMIT_FSIZE): writes stop at that many bytes, as on a
// disk with that much room left.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "hardening_install.h"

namespace {

using fixture::Bytes;
using fixture::Container;
using hardening::Outcome;

// A small installer of every chunk form; returns its path.
std::string writeInstaller(const fixture::TempDir& dir) {
    Bytes info(InfoRecord::Size, 0);
    memcpy(&info[InfoRecord::ScreensaverName], "Full Disk", 9);
    Container c;
    c.prefix = fixture::pattern(1024, 1);
    c.addStored("SAVER", fixture::pattern(5000, 2), 0x5A);
    c.addCompressed("STUB", fixture::pattern(300, 3));
    c.addCompressed("MOVIE", fixture::pattern(15000, 4));
    c.addCompressed("INFO", info);
    c.addCompressed("ZETT", fixture::pattern(200, 5));
    c.addCompressed("KMDL", fixture::pattern(200, 6));
    c.addStored("ADDTL", fixture::pattern(3000, 7));
    c.addStored("ADDTL01", fixture::pattern(3000, 8));
    std::string path = dir.file("installer.exe");
    c.writeTo(path);
    return path;
}

bool isCharDevice(const char* path) {
    struct stat st;
    return stat(path, &st) == 0 && S_ISCHR(st.st_mode);
}

TEST(FullDisk, DeviceThatRefusesWritesFailsTheInstallation) {
    if (!isCharDevice("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    fixture::TempDir dir;
    std::string installer = writeInstaller(dir);
    std::vector<std::string> deletions;
    // The deletion is recorded, not done: the target is a device.
    hardening::InstallResult r = hardening::installFrom(
        installer, "/dev/full", [&](const std::string& path) { deletions.push_back(path); });
    EXPECT_EQ(r.outcome, Outcome::Latched);
    EXPECT_EQ(deletions, std::vector<std::string>{"/dev/full"});
    EXPECT_TRUE(isCharDevice("/dev/full"));
}

// Limits the size of files this process writes, for one scope.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ok_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, oldHandler_);
    }
    bool ok() const { return ok_; }

private:
    rlimit saved_;
    void (*oldHandler_)(int);
    bool ok_ = false;
};

TEST(FullDisk, DiskFillingUpAtAnyPointFailsAndDeletesThePartialFile) {
    fixture::TempDir dir;
    std::string installer = writeInstaller(dir);
    std::string target = dir.file("saver.scr");
    ASSERT_EQ(hardening::installFrom(installer, target).outcome, Outcome::Installed);
    Bytes whole = fixture::readFile(target);
    const std::vector<fixture::Record> records = fixture::readDirectory(whole, 8);
    ASSERT_EQ(records.size(), 8u);
    auto startOf = [&](const char* name) {
        for (const fixture::Record& r : records)
            if (r.name == name) return (size_t)r.dataOffset;
        ADD_FAILURE() << name << " missing";
        return (size_t)0;
    };
    const size_t directoryAt = whole.size() - records.size() * DirectoryRecordSize;

    struct Case {
        const char* where;
        size_t room;
    };
    const Case cases[] = {
        {"no room at all", 0},
        {"inside SAVER", 100},
        {"between SAVER and STUB", startOf("STUB")},
        {"inside the expanded MOVIE", startOf("MOVIE") + 7000},
        {"inside INFO", startOf("INFO") + 10},
        {"inside ADDTL", startOf("ADDTL") + 1000},
        {"inside ADDTL01", startOf("ADDTL01") + 1},
        {"only the directory does not fit", directoryAt},
        {"one directory byte short", whole.size() - 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        DeleteFileA(target.c_str());
        hardening::InstallResult r;
        {
            FileSizeLimit limit(c.room);
            ASSERT_TRUE(limit.ok());
            r = hardening::installFrom(installer, target);
        }
        EXPECT_EQ(r.outcome, Outcome::Latched);
        EXPECT_TRUE(r.deleted);
        EXPECT_FALSE(fixture::fileExists(target));
    }

    // With room for exactly the whole file the installation succeeds.
    DeleteFileA(target.c_str());
    {
        FileSizeLimit limit(whole.size());
        ASSERT_TRUE(limit.ok());
        EXPECT_EQ(hardening::installFrom(installer, target).outcome, Outcome::Installed);
    }
    EXPECT_EQ(fixture::readFile(target), whole);
}

}  // namespace
