// The directory of a container as a whole: locating it in a file's last
// bytes, laying it out and enciphering it, and chunk names.
#pragma once

#include "format.h"

// Searches the last records of a file for its directory. buffer holds the
// file's last recordCount * 40 bytes (recordCount <= 32). Tries N = 1, 2, ...:
// deciphers the last N records as one run and accepts N when the record that
// ends the buffer shows the magic and count N; after a miss enciphers them
// back, so the next try starts from the stored bytes.
// Returns N with the last N*40 bytes of buffer deciphered; 0 (buffer as read)
// when no N passes.
int32_t locateDirectory(uint8_t* buffer, int32_t recordCount);

// Deciphered record k (0 = the one that ends the file) of a buffer that
// locateDirectory accepted; bufferSize is the buffer's length in bytes.
inline const DirectoryEntry* locatedRecord(const uint8_t* buffer, uint32_t bufferSize, int32_t k) {
    return (const DirectoryEntry*)(buffer + bufferSize - (uint32_t)DirectoryRecordSize * (k + 1));
}

// Lays entries[0..count-1] out as they go to disk (entry 0 last), with entry
// 0's countOrLength set to count, and enciphers them as one run into out
// (count * 40 bytes). count is 1..32.
void layoutDirectory(const DirectoryEntry* entries, int32_t count, uint8_t* out);

// True when name equals the record's name, ignoring the case of ASCII letters.
// The record's name ends at a NUL or after 16 bytes; a longer name never matches.
bool chunkNameEquals(const char* name, const char* recordName);
// Stores name in a record: at most 16 characters, NUL-padded.
void setChunkName(char* recordName, const char* name);
