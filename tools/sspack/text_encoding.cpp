#include "text_encoding.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>

#include <cerrno>
#endif

namespace {

// Escapes bytes that are not printable ASCII as \xNN.
std::string escapeByte(unsigned char c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\x%02X", c);
    return buf;
}

#ifndef _WIN32
// The iconv name of a supported code page.
const char* iconvName(uint32_t codePage) {
    switch (codePage) {
        case 874: return "WINDOWS-874";
        case 932: return "CP932";
        case 936: return "CP936";
        case 949: return "CP949";
        case 950: return "CP950";
        default: break;
    }
    static char name[16];
    std::snprintf(name, sizeof name, "CP%u", (unsigned)codePage);
    return name;
}

// Converts all of in; nullopt when a character does not convert.
std::optional<std::string> convert(const char* to, const char* from, const std::string& in) {
    iconv_t cd = iconv_open(to, from);
    if (cd == (iconv_t)-1) return std::nullopt;
    std::string out;
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buf[256];
    bool ok = true;
    while (srcLeft > 0) {
        char* dst = buf;
        size_t dstLeft = sizeof buf;
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, sizeof buf - dstLeft);
        if (r == (size_t)-1 && errno != E2BIG) {
            ok = false;
            break;
        }
    }
    if (ok) {
        // Flush any shift state (none in these code pages, but harmless).
        char* dst = buf;
        size_t dstLeft = sizeof buf;
        if (iconv(cd, nullptr, nullptr, &dst, &dstLeft) == (size_t)-1) ok = false;
        out.append(buf, sizeof buf - dstLeft);
    }
    iconv_close(cd);
    if (!ok) return std::nullopt;
    return out;
}
#endif

}  // namespace

bool isSupportedCodePage(uint32_t codePage) {
    switch (codePage) {
        case 874: case 932: case 936: case 949: case 950:
            return true;
        default:
            return codePage >= 1250 && codePage <= 1258;
    }
}

bool isAscii(const std::string& text) {
    for (unsigned char c : text)
        if (c >= 0x80) return false;
    return true;
}

#ifdef _WIN32

std::wstring widen(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), (int)utf8.size(),
                                nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring wide((size_t)n, L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), (int)utf8.size(), &wide[0], n);
    return wide;
}

std::string narrow(const std::wstring& wide) {
    if (wide.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), nullptr, 0, nullptr,
                                nullptr);
    if (n <= 0) return std::string();
    std::string out((size_t)n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), &out[0], n, nullptr, nullptr);
    return out;
}

std::optional<std::string> encodeText(const std::string& utf8, uint32_t codePage) {
    if (!isSupportedCodePage(codePage)) return std::nullopt;
    if (utf8.empty()) return std::string();
    std::wstring wide = widen(utf8);
    if (wide.empty()) return std::nullopt;
    int n = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), (int)wide.size(),
                                nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::nullopt;
    std::string out((size_t)n, '\0');
    BOOL usedDefault = FALSE;
    WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), (int)wide.size(), &out[0], n,
                        nullptr, &usedDefault);
    if (usedDefault) return std::nullopt;
    // Round trip: a character with no exact equivalent never comes back.
    int m = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, out.data(), (int)out.size(),
                                nullptr, 0);
    if (m != (int)wide.size()) return std::nullopt;
    std::wstring back((size_t)m, L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, out.data(), (int)out.size(), &back[0], m);
    if (back != wide) return std::nullopt;
    return out;
}

std::string decodeText(const std::string& bytes, uint32_t codePage) {
    if (codePage == 0) codePage = 1252;
    if (isAscii(bytes)) return bytes;
    if (isSupportedCodePage(codePage)) {
        int m = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                                    (int)bytes.size(), nullptr, 0);
        if (m > 0) {
            std::wstring wide((size_t)m, L'\0');
            MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), (int)bytes.size(),
                                &wide[0], m);
            return narrow(wide);
        }
    }
    std::string out;
    for (unsigned char c : bytes) out += c < 0x80 ? std::string(1, (char)c) : escapeByte(c);
    return out;
}

#else

std::optional<std::string> encodeText(const std::string& utf8, uint32_t codePage) {
    if (!isSupportedCodePage(codePage)) return std::nullopt;
    auto out = convert(iconvName(codePage), "UTF-8", utf8);
    // Round trip: a character with no exact equivalent never comes back.
    if (!out || convert("UTF-8", iconvName(codePage), *out) != utf8) return std::nullopt;
    return out;
}

std::string decodeText(const std::string& bytes, uint32_t codePage) {
    if (codePage == 0) codePage = 1252;
    if (isAscii(bytes)) return bytes;
    if (isSupportedCodePage(codePage)) {
        if (auto text = convert("UTF-8", iconvName(codePage), bytes)) return *text;
    }
    std::string out;
    for (unsigned char c : bytes) out += c < 0x80 ? std::string(1, (char)c) : escapeByte(c);
    return out;
}

#endif
