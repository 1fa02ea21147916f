// The one module-level record cipher state and its run-time entry points.
#include "cipher.h"

RecordCipherState RecordCipher;

void cipherSetKey(const char* name) { cipherSetKeyOn(RecordCipher, name ? name : ""); }

void cipherStep() { cipherStepOn(RecordCipher); }

void cipherRun(uint8_t* buffer, uint32_t length, int encipher) {
    cipherRunOn(RecordCipher, buffer, length, encipher);
}
