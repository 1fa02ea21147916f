// The program's built-in string records and their decoder.
#include <string.h>

#include "cipher.h"
#include "format.h"

namespace {

// A string record built at compile time: magic, length, the text enciphered.
template <uint32_t N>
struct StringRecordBytes {
    uint8_t bytes[StringRecordHeaderSize + N];
};

template <uint32_t Size>
constexpr StringRecordBytes<Size - 1> encipheredRecord(const char (&text)[Size]) {
    constexpr uint32_t n = Size - 1;
    static_assert(n <= (uint32_t)StringRecordMaxLength, "string record too long");
    StringRecordBytes<n> record{};
    record.bytes[0] = (uint8_t)StringRecordMagic;
    record.bytes[1] = (uint8_t)(StringRecordMagic >> 8);
    record.bytes[2] = (uint8_t)n;
    record.bytes[3] = (uint8_t)(n >> 8);
    for (uint32_t i = 0; i < n; i++) record.bytes[StringRecordHeaderSize + i] = (uint8_t)text[i];
    RecordCipherState state{};
    cipherSetKeyOn(state, StringRecordKey);
    cipherRunOn(state, record.bytes + StringRecordHeaderSize, n, 1);
    return record;
}

// Offset 0: the command line that opens the Display Properties control panel
// (at most 51 characters, the room its setting has).
#define DISPLAY_PROPERTIES_COMMAND "Rundll32 Shell32.dll,Control_RunDLL Desk.cpl @0,1"
static_assert(sizeof(DISPLAY_PROPERTIES_COMMAND) - 1 <= 51, "command line too long");

constexpr StringRecordBytes<sizeof(DISPLAY_PROPERTIES_COMMAND) - 1> ProgramStringTable =
    encipheredRecord(DISPLAY_PROPERTIES_COMMAND);

}  // namespace

char StringArea[StringAreaSize];
uint32_t StringAreaFill;

const char* decodeStringRecordIn(const uint8_t* table, uint32_t tableSize, uint32_t offset) {
    char* empty = StringArea + (StringAreaFill < (uint32_t)StringAreaSize ? StringAreaFill : 0);
    if (!table || tableSize < (uint32_t)StringRecordHeaderSize ||
        offset > tableSize - StringRecordHeaderSize) {
        *empty = 0;
        return empty;
    }
    const uint8_t* record = table + offset;
    int32_t n = (int16_t)le16(record + 2);
    if (le16(record) != StringRecordMagic || n < 0 || n > StringRecordMaxLength ||
        (uint32_t)n > tableSize - offset - StringRecordHeaderSize) {
        *empty = 0;
        return empty;
    }
    uint32_t i = StringAreaFill;
    // A text that would reach offset 2046 starts over at the beginning.
    if (i >= (uint32_t)StringAreaSize || i + (uint32_t)n >= (uint32_t)StringRecordMaxLength + 1)
        i = 0;
    StringAreaFill = i + (uint32_t)n + 1;
    uint8_t* text = (uint8_t*)StringArea + i;
    memcpy(text, record + StringRecordHeaderSize, (uint32_t)n);
    cipherSetKey(StringRecordKey);
    cipherRun(text, (uint32_t)n, 0);
    text[n] = 0;
    return (const char*)text;
}

const char* decodeStringRecord(uint32_t offset) {
    return decodeStringRecordIn(ProgramStringTable.bytes, sizeof ProgramStringTable.bytes, offset);
}
