// The record cipher and the built-in string records.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "cipher.h"
#include "support/fixture.h"

namespace {

using fixture::Bytes;

Bytes run(const char* key, Bytes data, int encipher) {
    cipherSetKey(key);
    cipherRun(data.data(), (uint32_t)data.size(), encipher);
    return data;
}

// Vectors worked out by hand-transcribing the cipher's steps into a separate
// script: they pin the arithmetic (16-bit wrap, big-endian key words,
// feedback of the plain byte) that a round trip alone would not catch.
TEST(RecordCipher, KnownVectors) {
    struct Case {
        const char* key;
        std::string plain;
        Bytes cipher;
    } cases[] = {
        {"TVOK", std::string(8, '\0'), {0xFC, 0x6F, 0x7A, 0x14, 0x4E, 0x3A, 0xFE, 0xA7}},
        {"TVOK", "ChunkContainer",
         {0xBF, 0x97, 0xAB, 0x4F, 0xBF, 0xA9, 0xA8, 0xB3, 0x41, 0x2E, 0x2A, 0xD0, 0x56, 0xD1}},
        {"Pilm", "Rundll32", {0xA4, 0xD6, 0x01, 0x87, 0x7A, 0x7D, 0x69, 0x7C}},
        {"", std::string("\0\1\2\3", 4), {0x17, 0xBA, 0x74, 0x45}},
    };
    for (const Case& c : cases) {
        Bytes plain(c.plain.begin(), c.plain.end());
        EXPECT_EQ(run(c.key, plain, 1), c.cipher) << c.key << " " << c.plain;
        EXPECT_EQ(run(c.key, c.cipher, 0), plain) << c.key << " " << c.plain;
    }
}

TEST(RecordCipher, RoundTripsForKeysAndLengths) {
    for (const char* key : {"TVOK", "Pilm", "", "A much longer key name"}) {
        for (size_t length : {0, 1, 39, 40, 1280, 5000}) {
            Bytes plain = fixture::pattern(length, (uint32_t)length);
            Bytes cipher = run(key, plain, 1);
            if (length >= 8) {
                EXPECT_NE(cipher, plain) << key << " " << length;
            }
            EXPECT_EQ(run(key, cipher, 0), plain) << key << " " << length;
        }
    }
}

// A run is one sequence however many calls it takes, and can only be
// deciphered from its first byte.
TEST(RecordCipher, SplitRunsEqualOneRun) {
    const Bytes plain = fixture::pattern(200, 7);
    const Bytes whole = run("TVOK", plain, 1);
    for (size_t cut : {0, 1, 40, 199, 200}) {
        Bytes parts = plain;
        cipherSetKey("TVOK");
        cipherRun(parts.data(), (uint32_t)cut, 1);
        cipherRun(parts.data() + cut, (uint32_t)(plain.size() - cut), 1);
        EXPECT_EQ(parts, whole) << "cut at " << cut;

        // Deciphering in the same pieces works too.
        cipherSetKey("TVOK");
        cipherRun(parts.data(), (uint32_t)cut, 0);
        cipherRun(parts.data() + cut, (uint32_t)(plain.size() - cut), 0);
        EXPECT_EQ(parts, plain) << "cut at " << cut;
    }
    Bytes secondHalf(whole.begin() + 100, whole.end());
    EXPECT_NE(run("TVOK", secondHalf, 0), Bytes(plain.begin() + 100, plain.end()));
}

TEST(RecordCipher, KeyIsTheFirstTenBytesOfTheName) {
    const Bytes plain = fixture::pattern(64, 3);
    const Bytes ten = run("ABCDEFGHIJ", plain, 1);
    EXPECT_EQ(run("ABCDEFGHIJK", plain, 1), ten);
    EXPECT_EQ(run("ABCDEFGHIJKLMNOPQRSTUVWXYZ", plain, 1), ten);  // longer than 14
    EXPECT_NE(run("ABCDEFGHI", plain, 1), ten);
    EXPECT_NE(run("ABCDEFGHIj", plain, 1), ten);

    cipherSetKey("");
    for (int i = 0; i < CipherKeySize; i++) EXPECT_EQ(RecordCipher.KeyBytes[i], 0) << i;
    EXPECT_EQ(run(nullptr, plain, 1), run("", plain, 1));
}

TEST(RecordCipher, LengthZeroChangesNothing) {
    cipherSetKey("TVOK");
    uint8_t byte = 0x55;
    cipherRun(&byte, 1, 1);
    const RecordCipherState before = RecordCipher;
    cipherRun(&byte, 0, 1);
    cipherRun(nullptr, 0, 0);
    EXPECT_EQ(memcmp(&before, &RecordCipher, sizeof before), 0);
    EXPECT_EQ(byte, run("TVOK", {0x55}, 1)[0]);
}

// --- String records ------------------------------------------------------

// A table with one record at offset 0: magic, length, the text enciphered.
Bytes stringRecord(const std::string& text, uint16_t magic = StringRecordMagic) {
    Bytes r = {(uint8_t)magic, (uint8_t)(magic >> 8), (uint8_t)text.size(),
               (uint8_t)(text.size() >> 8)};
    Bytes body = run(StringRecordKey, Bytes(text.begin(), text.end()), 1);
    r.insert(r.end(), body.begin(), body.end());
    return r;
}

TEST(StringRecords, ProgramRecordHoldsTheDisplayPropertiesCommand) {
    StringAreaFill = 0;
    const char* text = decodeStringRecord(0);
    EXPECT_STREQ(text, "Rundll32 Shell32.dll,Control_RunDLL Desk.cpl @0,1");
    EXPECT_LE(strlen(text), 51u);
    EXPECT_EQ(StringAreaFill, strlen(text) + 1);
    // Past the table's one record there is nothing.
    EXPECT_STREQ(decodeStringRecord(4 + (uint32_t)strlen(text)), "");
    EXPECT_STREQ(decodeStringRecord(0xFFFFFFF0u), "");
}

TEST(StringRecords, TextsFollowEachOtherInTheArea) {
    Bytes table = stringRecord("first");
    Bytes second = stringRecord("second text");
    const uint32_t secondOffset = (uint32_t)table.size();
    table.insert(table.end(), second.begin(), second.end());

    StringAreaFill = 0;
    const char* a = decodeStringRecordIn(table.data(), (uint32_t)table.size(), 0);
    const char* b = decodeStringRecordIn(table.data(), (uint32_t)table.size(), secondOffset);
    EXPECT_STREQ(a, "first");  // still intact after the next text
    EXPECT_STREQ(b, "second text");
    EXPECT_EQ(a, StringArea + 0);
    EXPECT_EQ(b, StringArea + 6);
    EXPECT_EQ(StringAreaFill, 6u + 12u);
}

// The ring: a text that would reach offset 2046 starts over at 0.
TEST(StringRecords, AreaWrapRule) {
    struct Case {
        uint32_t fill;
        size_t length;
        ptrdiff_t at;
        uint32_t fillAfter;
    } cases[] = {
        {2000, 45, 2000, 2046},  // 2000 + 45 is below 2046
        {2000, 46, 0, 47},       // would reach 2046
        {2046, 0, 0, 1},         // the area is full: even an empty text starts over
        {0, 2045, 0, 2046},      // the longest text
        {1, 2045, 0, 2046},
        {5000, 3, 0, 4},         // a fill outside the area (never produced) starts over
    };
    for (const Case& c : cases) {
        const std::string text(c.length, 'x');
        const Bytes table = stringRecord(text);
        memset(StringArea, 0xEE, sizeof StringArea);
        StringAreaFill = c.fill;
        const char* got = decodeStringRecordIn(table.data(), (uint32_t)table.size(), 0);
        EXPECT_EQ(got - StringArea, c.at) << c.fill << "+" << c.length;
        EXPECT_EQ(StringAreaFill, c.fillAfter) << c.fill << "+" << c.length;
        EXPECT_EQ(std::string(got), text) << c.fill << "+" << c.length;
        // Nothing written behind the terminator.
        size_t end = (size_t)c.at + c.length + 1;
        for (size_t i = end; i < sizeof StringArea; i++)
            ASSERT_EQ((uint8_t)StringArea[i], 0xEE) << c.fill << "+" << c.length << " at " << i;
    }
    // After the first case every further text starts at 0.
    const Bytes one = stringRecord("y");
    StringAreaFill = 2046;
    EXPECT_EQ(decodeStringRecordIn(one.data(), (uint32_t)one.size(), 0), StringArea);
}

TEST(StringRecords, DamagedRecordsGiveAnEmptyText) {
    Bytes good = stringRecord("hello");
    Bytes wrongMagic = stringRecord("hello", 0x4742);
    Bytes cutShort(good.begin(), good.end() - 1);  // length says 5, 4 bytes follow
    Bytes negative = good;
    negative[2] = 0xFF;
    negative[3] = 0xFF;  // -1
    Bytes tooLong = stringRecord(std::string(2046, 'z'));
    Bytes headerOnly(good.begin(), good.begin() + 3);
    for (const Bytes* table : {&wrongMagic, &cutShort, &negative, &tooLong, &headerOnly}) {
        StringAreaFill = 100;
        StringArea[100] = 'q';
        const char* got = decodeStringRecordIn(table->data(), (uint32_t)table->size(), 0);
        EXPECT_STREQ(got, "");
        EXPECT_EQ(StringAreaFill, 100u);
    }
    StringAreaFill = 0;
    EXPECT_STREQ(decodeStringRecordIn(nullptr, 0, 0), "");
    EXPECT_STREQ(decodeStringRecordIn(good.data(), (uint32_t)good.size(), 1), "");
    EXPECT_STREQ(decodeStringRecordIn(good.data(), (uint32_t)good.size(), 0), "hello");
}

}  // namespace
