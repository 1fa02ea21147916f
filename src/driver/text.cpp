#include "text.h"

#include <string.h>

int copyText(char* buffer, size_t capacity, const char* text) {
    size_t length = strlen(text);
    if (length >= capacity) return 0;
    memcpy(buffer, text, length + 1);
    return 1;
}

int appendText(char* buffer, size_t capacity, const char* text) {
    size_t used = strlen(buffer);
    if (used >= capacity) return 0;
    return copyText(buffer + used, capacity - used, text);
}

void copyField(char* buffer, const char* field, size_t fieldSize) {
    size_t length = 0;
    while (length < fieldSize && field[length] != 0) length++;
    memcpy(buffer, field, length);
    buffer[length] = 0;
}

static unsigned char lowerAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? (unsigned char)(c + ('a' - 'A')) : c;
}

size_t findNoCaseIn(const char* text, size_t textLength, const char* pattern,
                    size_t patternLength) {
    if (patternLength > textLength) return 0;
    for (size_t start = 0; start + patternLength <= textLength; start++) {
        size_t k = 0;
        while (k < patternLength &&
               lowerAscii((unsigned char)text[start + k]) == lowerAscii((unsigned char)pattern[k]))
            k++;
        if (k == patternLength) return start + 1;
    }
    return 0;
}

int findNoCase(const char* text, const char* pattern) {
    return (int)findNoCaseIn(text, strlen(text), pattern, strlen(pattern));
}
