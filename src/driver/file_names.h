// File-name checks and path building of the installer (no system calls).
#pragma once

#include <stddef.h>

// True when name is already a valid 8.3 name: at most 8 of [0-9A-Za-z_], then
// optionally one separator (a byte 0x2E..0x7F outside that set, such as '.')
// and at most 3 further characters. An empty name counts as short.
int isShortName(const char* name);

// True when the screensaver file name stays inside the Windows directory: no
// "\", "/" or ":" in it, and neither it nor its stem (the name less its last
// four characters, the ".scr") is "." or "..".
int isSafeScreensaverFileName(const char* fileName);

// The document's file name: the part of path after its last "\" or "/" (all of
// it when there is none). Null when that part is empty, ".", "..", or holds a
// ":" (a drive or a stream name), so that nothing is written outside the folder.
const char* documentFileName(const char* path);

// Appends a backslash (unless the content is empty or already ends in one) and
// name to the directory in buffer. Returns 1, or 0 when the result would not
// fit in capacity bytes (buffer unchanged).
int appendPathName(char* buffer, size_t capacity, const char* name);
