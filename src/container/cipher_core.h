// The record cipher's arithmetic on an explicit state, usable at compile time:
// cipher.cpp runs it on the one module-level state, and the built-in string
// records are enciphered with it while the program is compiled.
//
// Per byte: a 16-bit step value from five passes over the 10-byte key (read as
// five big-endian words), one keystream byte (its high byte XOR its low byte)
// XORed onto the data, and the plain byte folded into key bytes 0-9.
#pragma once

#include <stdint.h>

struct RecordCipherState {
    uint8_t KeyBytes[14];  // the key name, zero-filled; 0-9 take part and get the feedback
    uint16_t MixWord;      // multiplier state, carried from byte to byte
    uint16_t SumWord;      // running sum, carried from byte to byte
    uint16_t StepResult;   // result of the last step
};

constexpr int CipherKeySize = 14;

// Starts a run: the first 10 bytes of name, zero padded, become the key.
constexpr void cipherSetKeyOn(RecordCipherState& s, const char* name) {
    s.MixWord = 0;
    s.SumWord = 0;
    int i = 0;
    for (; i < CipherKeySize && name[i]; i++) s.KeyBytes[i] = (uint8_t)name[i];
    for (; i < CipherKeySize; i++) s.KeyBytes[i] = 0;
}

// One step; arithmetic modulo 65536 (computed in 32 bits, then cut).
constexpr void cipherStepOn(RecordCipherState& s) {
    uint32_t result = 0;
    uint32_t w = 0;
    for (uint32_t i = 0; i < 5; i++) {
        w = (w ^ ((uint32_t)s.KeyBytes[2 * i] << 8 | s.KeyBytes[2 * i + 1])) & 0xFFFF;
        uint32_t t = ((s.SumWord + i) * 0x4E35u + w * 0x015Au) & 0xFFFF;
        s.SumWord = (uint16_t)(t + s.MixWord);
        s.MixWord = (uint16_t)(w * 0x015Au);
        w = (w * 0x4E35u + 1) & 0xFFFF;
        result ^= s.SumWord ^ w;
    }
    s.StepResult = (uint16_t)result;
}

// Enciphers (encipher != 0) or deciphers length bytes in place, continuing
// the run. Both directions fold the plain byte into the key.
constexpr void cipherRunOn(RecordCipherState& s, uint8_t* buffer, uint32_t length, int encipher) {
    for (uint32_t n = 0; n < length; n++) {
        cipherStepOn(s);
        uint8_t keystream = (uint8_t)((s.StepResult >> 8) ^ (s.StepResult & 0xFF));
        uint8_t b = buffer[n];
        if (!encipher) b ^= keystream;
        for (int k = 0; k < 10; k++) s.KeyBytes[k] ^= b;
        if (encipher) b ^= keystream;
        buffer[n] = b;
    }
}
