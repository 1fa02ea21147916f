#include "wininit_edit.h"

#include <string.h>

#include "text.h"

uint32_t formatRenameLine(char* line, const char* newName, const char* existingPath) {
    line[0] = 0;
    if (!appendText(line, RenameLineCapacity, newName) ||
        !appendText(line, RenameLineCapacity, "=") ||
        !appendText(line, RenameLineCapacity, existingPath) ||
        !appendText(line, RenameLineCapacity, "\r\n")) {
        line[0] = 0;
        return 0;
    }
    return (uint32_t)strlen(line);
}

int editWinInitText(uint8_t* text, uint32_t capacity, uint32_t oldSize, const char* line,
                    uint32_t lineLength, uint32_t* newSize) {
    if (oldSize > capacity || lineLength > capacity - oldSize ||
        WinInitGrowth > capacity - oldSize - lineLength)
        return 0;
    const char* chars = (const char*)text;
    uint32_t textLength = 0;
    while (textLength < oldSize && text[textLength] != 0) textLength++;

    size_t header = findNoCaseIn(chars, textLength, RenameHeader, RenameHeaderLength);
    if (header == 0) {
        uint32_t at = oldSize;
        if (oldSize > 0 && text[oldSize - 1] != '\n') {
            memcpy(text + at, "\r\n", 2);
            at += 2;
        }
        memcpy(text + at, RenameHeader, RenameHeaderLength);
        memcpy(text + at + RenameHeaderLength, line, lineLength);
        *newSize = at + RenameHeaderLength + lineLength;
        return 1;
    }
    uint32_t headerAt = (uint32_t)(header - 1);
    if (findNoCaseIn(chars + headerAt, textLength - headerAt, line, lineLength) != 0) {
        *newSize = oldSize;
        return 1;
    }
    // The header ends in its own line feed, so its line ends right after it.
    uint32_t insertAt = headerAt + RenameHeaderLength;
    memmove(text + insertAt + lineLength, text + insertAt, oldSize - insertAt);
    memcpy(text + insertAt, line, lineLength);
    *newSize = oldSize + lineLength;
    return 1;
}
