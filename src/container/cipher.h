// The keyed byte-stream cipher of container directories and built-in string
// records. One module-level state: a run spread over several cipherRun calls
// must not be interleaved with another cipherSetKey or decodeStringRecord.
#pragma once

#include <stdint.h>

// Starts a new run keyed by the first 10 bytes of name (zero padded).
void cipherSetKey(const char* name);
// Enciphers (encipher != 0) or deciphers length bytes in place, continuing the run.
void cipherRun(uint8_t* buffer, uint32_t length, int encipher);

// Built-in string record table: records of  magic "AG" (0x4741) | s16 length n
// | n enciphered bytes  back to back, addressed by byte offset.
constexpr uint16_t StringRecordMagic = 0x4741;
constexpr int StringAreaSize = 2048;

// Deciphers the record at that offset of the program's table into the ring
// StringArea; returns the NUL-terminated text, or an empty text when the
// record lacks its magic. Valid until later texts wrap the area.
const char* decodeStringRecord(uint32_t offset);
