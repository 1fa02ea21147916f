// Reads a chunk container: finds and deciphers its directory, answers queries
// about chunks, reads chunks into memory and extracts them to files. One
// module-level reader; shares the ErrorLatch with the writer.
#pragma once

#include "format.h"
#include "platform.h"

// How far the last openContainer got.
enum OpenStageValue : int32_t {
    OpenNotTried = 0,     // the ErrorLatch was set
    OpenFileFailed = 1,   // the file could not be opened
    OpenReadFailed = 2,   // the directory bytes could not be read in full
    OpenDirectoryRead = 3 // bytes read: the open then succeeded or found no directory
};
extern int32_t OpenStage;

// The one reader. handle is INVALID_HANDLE_VALUE while closed; entryCount and
// ReaderDirectory (deciphered, record 0 ended the file) are replaced only by a
// successful open and survive closing. (The records lie outside the state so
// that they take no room in the program file.)
struct ReaderState {
    HANDLE handle;
    int32_t entryCount;
};
extern ReaderState Reader;
extern DirectoryEntry ReaderDirectory[DirectoryMaxRecords];

// Sticky failure flag of all latching container operations.
extern bool ErrorLatch;
extern bool ErrorLatchEnabled;
// Clears ErrorLatch and sets whether failures latch.
void setErrorLatch(bool enabled);

// findEntry modes.
enum : int { MatchStored = 1, MatchInline = 2 };

// Opens path (null: the running program). Returns the reader's handle, or
// INVALID_HANDLE_VALUE when the latch is set, the file does not open, its tail
// cannot be read, or it holds no valid directory (see OpenStage). Latches.
HANDLE openContainer(const char* path);
// Closes the reader's or the writer's handle (the writer's writes its
// directory first); any other handle is left alone. Touches the latch only
// to set it when the writer's directory cannot be written.
void closeContainer(HANDLE handle);
// Creates (replacing) a file for writing; its handle or INVALID_HANDLE_VALUE.
HANDLE createOutputFile(const char* path);

// The first record of that name (ASCII case ignored) if its storage class is
// one the mode accepts, else null. Works on the directory last loaded.
const DirectoryEntry* findEntry(const char* name, int mode);
// storedSize / plainSize of a stored or compressed chunk, -1 when absent.
int32_t chunkStoredSize(const char* name);
int32_t chunkPlainSize(const char* name);
// plainSize when it differs from storedSize, else 0 (also 0 when absent).
int32_t chunkExpansionSize(const char* name);
// True when both chunks are found and share their dataOffset.
bool sameChunkData(const char* nameA, const char* nameB);
// Copies an inline record's bytes (0..16) into buffer; true when the reader is
// open and an inline record of that name exists. *outLength gets the length.
bool readInlineData(const char* name, uint8_t* buffer, int32_t* outLength);
// Reads a chunk's plain bytes into buffer, never more than maxBytes. False when
// latched, closed, absent, on a bad block, on a short read, or when a
// compressed chunk expands to more than maxBytes. Latches.
bool readChunkToMemory(const char* name, void* buffer, int32_t maxBytes);
// Writes a chunk's plain bytes to a new file at path. False when latched,
// closed, absent, path null, the file cannot be created, or the transfer
// fails (the partial file is left). Latches.
bool extractChunkToFile(const char* name, const char* path);

// The directory last loaded, for tools: entry k as numbered in the file.
int32_t readerEntryCount();
const DirectoryEntry* readerEntry(int32_t k);
// The reader's open handle, or INVALID_HANDLE_VALUE.
HANDLE readerHandle();
