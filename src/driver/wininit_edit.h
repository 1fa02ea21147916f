// The text edit that schedules a rename or deletion for the next restart in
// WinInit.ini (no system calls; the caller maps the file).
//
//   [Rename]\r\n                 <- header, matched without case, CR LF required
//   NUL=C:\WINDOWS\TEMP\x.htm\r\n <- entry line "new=existing\r\n"; NUL deletes
//
// The edit works on the file's bytes in a buffer that has room to grow.
#pragma once

#include <stddef.h>
#include <stdint.h>

constexpr char RenameHeader[] = "[Rename]\r\n";
constexpr uint32_t RenameHeaderLength = sizeof RenameHeader - 1;
static_assert(RenameHeaderLength == 10, "header line length");
// Room the edit may need beyond the old text and the entry line: the header
// and a line break ending a last line that had none.
constexpr uint32_t WinInitGrowth = RenameHeaderLength + 2;
// Capacity of the entry line, terminator included.
constexpr size_t RenameLineCapacity = 1024;

// Formats "newName=existingPath\r\n" into line (RenameLineCapacity bytes).
// Returns its length, or 0 when it would not fit (line then empty).
uint32_t formatRenameLine(char* line, const char* newName, const char* existingPath);

// Adds the entry line to the WinInit.ini bytes text[0, oldSize); the text ends
// at its first zero byte. With no "[Rename]\r\n" header the header and the line
// go at the old end (after a CR LF when the last byte is not a line feed); when
// the line already follows the header (any case) nothing changes; otherwise
// the line is inserted right after the header line.
// capacity must be at least oldSize + lineLength + WinInitGrowth.
// Returns 1 with *newSize the new length, or 0 (text untouched) when the
// capacity is too small.
int editWinInitText(uint8_t* text, uint32_t capacity, uint32_t oldSize, const char* line,
                    uint32_t lineLength, uint32_t* newSize);
