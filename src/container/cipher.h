// The keyed byte-stream cipher of container directories and built-in string
// records. One module-level state: a run spread over several cipherRun calls
// must not be interleaved with another cipherSetKey or decodeStringRecord.
#pragma once

#include <stdint.h>

#include "cipher_core.h"

extern RecordCipherState RecordCipher;

// Starts a new run keyed by the first 10 bytes of name (zero padded; null is
// the empty name).
void cipherSetKey(const char* name);
// Advances RecordCipher by one step (sets StepResult); used by cipherRun.
void cipherStep();
// Enciphers (encipher != 0) or deciphers length bytes in place, continuing the run.
void cipherRun(uint8_t* buffer, uint32_t length, int encipher);

// Built-in string records, back to back in a constant table and addressed by
// byte offset:
//
//   0 magic 41 47 ("AG", 0x4741)   2 s16 length n (0..2045)   4 n enciphered bytes
//
// each text enciphered as one run with StringRecordKey from a fresh key.
constexpr uint16_t StringRecordMagic = 0x4741;
constexpr int StringRecordHeaderSize = 4;
constexpr int StringRecordMaxLength = 2045;
constexpr const char* StringRecordKey = "Pilm";
constexpr int StringAreaSize = 2048;

// Ring that receives deciphered texts one after another; StringAreaFill is
// where the next one goes.
extern char StringArea[StringAreaSize];
extern uint32_t StringAreaFill;

// Deciphers the record at that offset of the program's table into StringArea;
// returns the NUL-terminated text, or an empty text (StringAreaFill unchanged)
// when the record lacks its magic. Valid until later texts wrap the area.
const char* decodeStringRecord(uint32_t offset);
// The same on any table of tableSize bytes. A record that is not wholly inside
// the table, or whose length is negative or above 2045, also gives an empty text.
const char* decodeStringRecordIn(const uint8_t* table, uint32_t tableSize, uint32_t offset);
