// Conversion between the manifest's UTF-8 texts and the 8-bit Windows ANSI
// code pages the installer shows them in (iconv natively, the Windows
// conversion calls in sspack.exe).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// True for the Windows ANSI code pages sspack converts to: 874, 932, 936,
// 949, 950 and 1250-1258.
bool isSupportedCodePage(uint32_t codePage);

// The code page's bytes for a UTF-8 text; nullopt when a character has no
// exact equivalent there (no best-fit substitutes) or the text is not UTF-8.
std::optional<std::string> encodeText(const std::string& utf8, uint32_t codePage);

// UTF-8 for display of bytes in that code page (0: 1252 is assumed). Bytes
// that do not convert appear as \xNN.
std::string decodeText(const std::string& bytes, uint32_t codePage);

// True when every byte is below 0x80.
bool isAscii(const std::string& text);

#ifdef _WIN32
// UTF-8 <-> UTF-16 for the Windows file and console calls.
std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& wide);
#endif
