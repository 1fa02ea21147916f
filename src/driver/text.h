// Bounded text helpers of the installer: NUL-terminated 8-bit texts in fixed
// buffers. Every helper is all-or-nothing: a text that does not fit is refused
// and the buffer is left as it was.
#pragma once

#include <stddef.h>

// Copies text into buffer (capacity bytes, terminator included).
// Returns 1 on success, 0 when it does not fit (buffer unchanged).
int copyText(char* buffer, size_t capacity, const char* text);
// Appends text to the NUL-terminated content of buffer.
// Returns 1 on success, 0 when the result would not fit (buffer unchanged).
int appendText(char* buffer, size_t capacity, const char* text);
// Copies a fixed field of fieldSize bytes that may lack its terminator:
// at most fieldSize bytes, always terminated; buffer must hold fieldSize + 1.
void copyField(char* buffer, const char* field, size_t fieldSize);

// 1-based position of the first place where pattern matches text, ASCII
// letters compared without case; 0 when there is none. An empty pattern gives 1.
int findNoCase(const char* text, const char* pattern);
// The same over byte ranges that need not be terminated: 1-based position in
// text[0, textLength) of the first match of pattern[0, patternLength), or 0.
size_t findNoCaseIn(const char* text, size_t textLength, const char* pattern,
                    size_t patternLength);
