// Test fixture builder (see fixture.h).
#include "fixture.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <filesystem>
#include <stdexcept>

#include "cipher.h"
#include "reader.h"
#include "transfer.h"
#include "writer.h"

namespace fixture {

namespace {

void put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++) b[at + i] = (uint8_t)(v >> (8 * i));
}
uint32_t get32(const Bytes& b, size_t at) {
    return (uint32_t)b[at] | (uint32_t)b[at + 1] << 8 | (uint32_t)b[at + 2] << 16 |
           (uint32_t)b[at + 3] << 24;
}

}  // namespace

Bytes Record::bytes() const {
    Bytes b(DirectoryRecordSize, 0);
    b[0] = countOrLength;
    b[1] = storage;
    b[2] = xorKey;
    for (size_t i = 0; i < name.size() && i < (size_t)ChunkNameSize; i++) b[3 + i] = (uint8_t)name[i];
    put32(b, 19, dataOffset);
    put32(b, 23, storedSize);
    put32(b, 27, plainSize);
    put32(b, 31, (uint32_t)markerOffset);
    b[35] = recordLength;
    put32(b, 36, magic);
    for (size_t i = 0; i < inlineBytes.size() && InlineDataOffset + i < b.size(); i++)
        b[InlineDataOffset + i] = inlineBytes[i];
    return b;
}

Record& Container::addStored(const std::string& name, const Bytes& plain, uint8_t xorKey) {
    Record r;
    r.name = name;
    r.xorKey = xorKey;
    r.dataOffset = (uint32_t)(prefix.size() + data.size());
    r.storedSize = r.plainSize = (uint32_t)plain.size();
    Bytes stored = xored(plain, xorKey);
    data.insert(data.end(), stored.begin(), stored.end());
    records.push_back(r);
    return records.back();
}

Record& Container::addCompressed(const std::string& name, const Bytes& plain) {
    std::optional<Bytes> packed = compress(plain);
    if (!packed) throw std::runtime_error("fixture: compression is not available");
    Record r;
    r.name = name;
    r.storage = StorageCompressed;
    r.dataOffset = (uint32_t)(prefix.size() + data.size());
    r.storedSize = (uint32_t)packed->size();
    r.plainSize = (uint32_t)plain.size();
    data.insert(data.end(), packed->begin(), packed->end());
    records.push_back(r);
    return records.back();
}

Record& Container::addData(const std::string& name, const Bytes& stored) {
    return addStored(name, stored, 0);
}

Record& Container::addInline(const std::string& name, const Bytes& bytes) {
    Record r;
    r.name = name;
    r.storage = StorageInline;
    r.countOrLength = (uint8_t)bytes.size();
    r.inlineBytes = bytes;
    records.push_back(r);
    return records.back();
}

Record& Container::addRecord(const Record& record) {
    records.push_back(record);
    return records.back();
}

Bytes Container::directoryBytes() const {
    Bytes out;
    for (size_t k = records.size(); k-- > 0;) {
        Bytes r = records[k].bytes();
        if (k == 0) r[0] = count ? *count : (uint8_t)records.size();
        out.insert(out.end(), r.begin(), r.end());
    }
    if (encipher && !out.empty()) {
        cipherSetKey(DirectoryKey);
        cipherRun(out.data(), (uint32_t)out.size(), 1);
    }
    return out;
}

Bytes Container::bytes() const {
    Bytes out = prefix;
    out.insert(out.end(), data.begin(), data.end());
    Bytes dir = directoryBytes();
    out.insert(out.end(), dir.begin(), dir.end());
    out.insert(out.end(), trailer.begin(), trailer.end());
    return out;
}

void Container::writeTo(const std::string& path) const { writeFile(path, bytes()); }

std::vector<Record> readDirectory(const Bytes& file, int count) {
    std::vector<Record> records;
    size_t span = (size_t)count * DirectoryRecordSize;
    if (count <= 0 || file.size() < span) return records;
    Bytes dir(file.end() - (long)span, file.end());
    cipherSetKey(DirectoryKey);
    cipherRun(dir.data(), (uint32_t)dir.size(), 0);
    for (int k = 0; k < count; k++) {
        size_t at = span - (size_t)DirectoryRecordSize * (k + 1);
        Record r;
        r.countOrLength = dir[at];
        r.storage = dir[at + 1];
        r.xorKey = dir[at + 2];
        r.name.assign((const char*)&dir[at + 3], strnlen((const char*)&dir[at + 3], ChunkNameSize));
        r.dataOffset = get32(dir, at + 19);
        r.storedSize = get32(dir, at + 23);
        r.plainSize = get32(dir, at + 27);
        r.markerOffset = (int32_t)get32(dir, at + 31);
        r.recordLength = dir[at + 35];
        r.magic = get32(dir, at + 36);
        records.push_back(r);
    }
    return records;
}

std::optional<Bytes> compress(const Bytes& plain) {
    Bytes out(plain.size() * 2 + 4096);
    int32_t length = (int32_t)plain.size();
    if (!transferChunk(memoryEnd((void*)plain.data(), (uint32_t)plain.size()),
                       memoryEnd(out.data(), (uint32_t)out.size()), length,
                       FlagCompress | FlagMemorySource | FlagMemoryTarget))
        return std::nullopt;
    out.resize((size_t)length);
    return out;
}

void resetContainerState() {
    setErrorLatch(false);
    closeContainer(readerHandle());
    closeContainer(writerHandle());
    platformSetModulePath(nullptr);
}

Bytes pattern(size_t size, uint32_t seed) {
    Bytes v(size);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& b : v) {
        x = x * 1103515245u + 12345u;
        b = (uint8_t)(x >> 16);
    }
    return v;
}

Bytes xored(Bytes bytes, uint8_t key) {
    for (auto& b : bytes) b ^= key;
    return bytes;
}

Bytes readFile(const std::string& path) {
    Bytes v;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return v;
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) v.insert(v.end(), buf, buf + n);
    fclose(f);
    return v;
}

void writeFile(const std::string& path, const Bytes& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) throw std::runtime_error("fixture: cannot write " + path);
    bool ok = bytes.empty() || fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = fclose(f) == 0 && ok;
    if (!ok) throw std::runtime_error("fixture: cannot write " + path);
}

bool fileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

TempDir::TempDir() {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/ss_unit_XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back(0);
    if (!mkdtemp(name.data())) throw std::runtime_error("fixture: mkdtemp failed");
    path_ = name.data();
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace fixture
