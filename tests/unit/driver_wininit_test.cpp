// The WinInit.ini text edit over a byte buffer.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "driver_wininit_cases.h"
#include "wininit_edit.h"

namespace {

TEST(DriverWinInit, FormatsTheEntryLine) {
    char line[RenameLineCapacity];
    EXPECT_EQ(formatRenameLine(line, wininit_cases::NewName, wininit_cases::ExistingPath),
              strlen(wininit_cases::Line));
    EXPECT_STREQ(line, wininit_cases::Line);

    // "N=" + path + CR LF must leave room for the terminator: 1023 characters fit.
    std::string path(1023 - 4, 'p');
    EXPECT_EQ(formatRenameLine(line, "N", path.c_str()), 1023u);
    path += 'p';
    EXPECT_EQ(formatRenameLine(line, "N", path.c_str()), 0u);
    EXPECT_STREQ(line, "");
}

TEST(DriverWinInit, EditCases) {
    size_t count;
    const wininit_cases::Case* cases = wininit_cases::cases(&count);
    const uint32_t lineLength = (uint32_t)strlen(wininit_cases::Line);
    for (size_t i = 0; i < count; i++) {
        const wininit_cases::Case& c = cases[i];
        uint32_t capacity = (uint32_t)c.before.size() + lineLength + WinInitGrowth;
        std::vector<uint8_t> buffer(capacity + 4, 0);
        memcpy(buffer.data(), c.before.data(), c.before.size());
        buffer[capacity] = 0xEE;  // guard bytes behind the capacity
        buffer[capacity + 3] = 0xEE;
        uint32_t newSize = 0;
        ASSERT_EQ(editWinInitText(buffer.data(), capacity, (uint32_t)c.before.size(), wininit_cases::Line,
                                  lineLength, &newSize),
                  1)
            << c.name;
        EXPECT_EQ(std::string((const char*)buffer.data(), newSize), c.after) << c.name;
        EXPECT_EQ(buffer[capacity], 0xEE) << c.name;
        EXPECT_EQ(buffer[capacity + 3], 0xEE) << c.name;
    }
}

TEST(DriverWinInit, RefusesABufferWithoutRoomToGrow) {
    std::string before = "[boot]\r\n";
    const uint32_t lineLength = (uint32_t)strlen(wininit_cases::Line);
    uint32_t capacity = (uint32_t)before.size() + lineLength + WinInitGrowth - 1;
    std::vector<uint8_t> buffer(capacity, 0);
    memcpy(buffer.data(), before.data(), before.size());
    std::vector<uint8_t> original = buffer;
    uint32_t newSize = 12345;
    EXPECT_EQ(editWinInitText(buffer.data(), capacity, (uint32_t)before.size(), wininit_cases::Line,
                              lineLength, &newSize),
              0);
    EXPECT_EQ(buffer, original);
    EXPECT_EQ(newSize, 12345u);
    // Sizes whose sum wraps around 32 bits are refused as well.
    EXPECT_EQ(editWinInitText(buffer.data(), capacity, 8, wininit_cases::Line, 0xFFFFFFF8u, &newSize), 0);
}

}  // namespace
