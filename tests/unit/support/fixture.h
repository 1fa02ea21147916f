// Test fixture builder: writes chunk containers byte by byte, independently of
// the container writer, with every field of every record under the test's
// control, so that tests can craft sound and malformed containers alike.
//
//   fixture::Container c;
//   c.prefix = fixture::pattern(100);           // bytes before the chunks
//   c.addStored("SAVER", program);              // plain
//   c.addStored("MOVIE", movie, 0x5A);          // scrambled with key 0x5A
//   c.addCompressed("INFO", info);              // LZHUF in RcBlocks (transferChunk)
//   c.addInline("TAG", {1, 2, 3});              // bytes held in the record
//   c.records[1].markerOffset = 17;             // any field, also nonsense
//   c.trailer = {0};                            // bytes behind the directory
//   fixture::TempDir dir;
//   std::string path = dir.file("a.exe");
//   c.writeTo(path);
//
// records[0] is the record entered first: it ends the file and carries the
// record count (records.size() unless `count` says otherwise). Chunk data lies
// behind the prefix in the order added; each record's dataOffset is absolute.
#pragma once

#include <stdint.h>

#include <optional>
#include <string>
#include <vector>

#include "format.h"

namespace fixture {

using Bytes = std::vector<uint8_t>;

// One directory record in plain form.
struct Record {
    uint8_t countOrLength = 0;  // record 0's is replaced by the count when the file is built
    uint8_t storage = StorageStored;
    uint8_t xorKey = 0;
    std::string name;  // NUL-padded to 16 bytes; a 16-byte name gets no NUL; longer is cut
    uint32_t dataOffset = 0;
    uint32_t storedSize = 0;
    uint32_t plainSize = 0;
    int32_t markerOffset = -1;
    uint8_t recordLength = DirectoryRecordSize;
    uint32_t magic = DirectoryMagic;
    // An inline record's bytes: written from offset 23 on over the fields
    // behind it (at most 17 bytes fit, through offset 39).
    Bytes inlineBytes;

    // The 40 plain bytes of the record.
    Bytes bytes() const;
};

struct Container {
    Bytes prefix;                 // before the first chunk's data
    Bytes data;                   // the chunks' data, back to back
    std::vector<Record> records;  // records[0] ends the file
    std::optional<uint8_t> count; // record 0's countOrLength; default records.size()
    bool encipher = true;         // false: the directory goes out in plain form
    Bytes trailer;                // appended behind the directory

    // Each add appends the chunk's data and a record and returns that record;
    // the reference stays valid until the next add.
    Record& addStored(const std::string& name, const Bytes& plain, uint8_t xorKey = 0);
    // Compressed with the program's own compressor (transferChunk with Compress);
    // throws std::runtime_error when compression is not available.
    Record& addCompressed(const std::string& name, const Bytes& plain);
    Record& addInline(const std::string& name, const Bytes& bytes);
    // Data appended exactly as given, with a Stored record of its size; set
    // the record's storage and plainSize to describe other bytes (e.g. a
    // damaged copy of compressed data).
    Record& addData(const std::string& name, const Bytes& stored);
    // A record only, pointing at nothing in particular.
    Record& addRecord(const Record& record);

    // The directory as it goes to disk (enciphered unless encipher is false).
    Bytes directoryBytes() const;
    // The whole file: prefix, data, directory, trailer.
    Bytes bytes() const;
    void writeTo(const std::string& path) const;
};

// The plain bytes of a record as found in a container file of these bytes
// (deciphers the directory of `count` records at the end); for checking what
// a writer produced. Empty when the bytes are too short.
std::vector<Record> readDirectory(const Bytes& file, int count);

// Compresses plain bytes with transferChunk; nullopt when that fails.
std::optional<Bytes> compress(const Bytes& plain);

// Closes the reader and the writer, clears and disables the ErrorLatch and
// gives GetModuleFileNameA back the real program: a clean start for a test.
void resetContainerState();

// Deterministic pseudo-random bytes.
Bytes pattern(size_t size, uint32_t seed = 1);
Bytes xored(Bytes bytes, uint8_t key);

Bytes readFile(const std::string& path);  // empty when it cannot be read
void writeFile(const std::string& path, const Bytes& bytes);
bool fileExists(const std::string& path);

// A fresh temporary folder, removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

}  // namespace fixture
