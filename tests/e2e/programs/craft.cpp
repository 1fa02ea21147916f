// Test tool: copies an installer with changes that the authoring tool rightly
// refuses to make, for cases of broken or hostile installers.
//
//   e2e-craft SOURCE.exe OUT.exe [--drop NAME]... [--text OFFSET TEXT]
//
//   --drop NAME         leave chunk NAME out
//   --text OFFSET TEXT  write TEXT and a NUL into the settings record (INFO)
//                       at OFFSET, e.g. a screensaver name with a path in it
//
// The program prefix and every other chunk are copied as they are stored, in
// directory order (second names stay second names); INFO is written again,
// compressed. Exit code 0 on success, 1 otherwise.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "reader.h"
#include "writer.h"

constexpr int InfoSize = 6148;
constexpr int MaxDrops = 8;

static int fail(const char* what) {
    fprintf(stderr, "e2e-craft: %s\n", what);
    return 1;
}

int main(int argc, char** argv) {
    if (argc < 3) return fail("usage: SOURCE OUT [--drop NAME]... [--text OFFSET TEXT]");
    const char* drops[MaxDrops];
    int dropCount = 0;
    long textOffset = -1;
    const char* text = nullptr;
    for (int i = 3; i < argc; ++i) {
        if (strcmp(argv[i], "--drop") == 0 && i + 1 < argc && dropCount < MaxDrops) {
            drops[dropCount++] = argv[++i];
        } else if (strcmp(argv[i], "--text") == 0 && i + 2 < argc) {
            textOffset = strtol(argv[i + 1], nullptr, 10);
            text = argv[i + 2];
            i += 2;
            if (textOffset < 0 || textOffset + (long)strlen(text) + 1 > InfoSize)
                return fail("text outside INFO");
        } else {
            return fail("bad arguments");
        }
    }

    static uint8_t info[InfoSize];
    HANDLE source = openContainer(argv[1]);
    if (source == INVALID_HANDLE_VALUE) return fail("source is no container");
    if (chunkPlainSize("INFO") != InfoSize || !readChunkToMemory("INFO", info, InfoSize))
        return fail("source INFO unreadable");
    if (text) memcpy(info + textOffset, text, strlen(text) + 1);

    // The prefix ends where the first chunk's data begins.
    int32_t count = readerEntryCount();
    uint32_t prefixEnd = 0xFFFFFFFFu;
    for (int32_t k = 0; k < count; ++k) {
        const DirectoryEntry* e = readerEntry(k);
        if (e->storage != StorageInline && le32(e->dataOffset) < prefixEnd) prefixEnd = le32(e->dataOffset);
    }
    if (prefixEnd == 0xFFFFFFFFu) return fail("source holds no chunk data");

    if (createContainer(argv[2]) == INVALID_HANDLE_VALUE) return fail("cannot create output");
    static uint8_t buffer[65536];
    SetFilePointer(source, 0, nullptr, FILE_BEGIN);
    for (uint32_t done = 0; done < prefixEnd;) {
        DWORD want = prefixEnd - done < sizeof buffer ? prefixEnd - done : sizeof buffer, got = 0, put = 0;
        if (!ReadFile(source, buffer, want, &got, nullptr) || got != want) return fail("prefix read");
        if (!WriteFile(writerHandle(), buffer, got, &put, nullptr) || put != got) return fail("prefix write");
        done += got;
    }
    Writer.dataOffset = prefixEnd;

    for (int32_t k = 0; k < count; ++k) {
        const DirectoryEntry* e = readerEntry(k);
        char name[ChunkNameSize + 1];
        memcpy(name, e->name, ChunkNameSize);
        name[ChunkNameSize] = 0;
        bool dropped = false;
        for (int d = 0; d < dropCount; ++d) dropped = dropped || _stricmp(drops[d], name) == 0;
        if (dropped) continue;
        if (e->storage == StorageInline) return fail("inline records are not supported");
        const char* first = nullptr;  // an earlier chunk with the same data
        for (int32_t j = 0; j < k && !first; ++j)
            if (le32(readerEntry(j)->dataOffset) == le32(e->dataOffset)) first = readerEntry(j)->name;
        bool ok;
        if (strcmp(name, "INFO") == 0)
            ok = addChunkFromMemory(info, InfoSize, "INFO", FlagCompress);
        else if (first)
            ok = aliasEntry(name, first);
        else
            ok = copyChunk(name, 0);
        if (!ok) {
            fprintf(stderr, "e2e-craft: chunk %s\n", name);
            return 1;
        }
    }
    closeContainer(writerHandle());
    closeContainer(source);
    return 0;
}
