#include "file_names.h"

#include <string.h>

#include "text.h"

int isShortName(const char* name) {
    int budget = 8;
    int separatorSeen = 0;
    for (const unsigned char* p = (const unsigned char*)name; *p != 0; p++) {
        unsigned char c = *p;
        int ordinary = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                       (c >= 'a' && c <= 'z') || c == '_';
        if (!ordinary) {
            if (c < 0x2E || c >= 0x80 || separatorSeen) return 0;
            separatorSeen = 1;
            budget = 4;
        }
        if (--budget < 0) return 0;
    }
    return 1;
}

static int isDotName(const char* text, size_t length) {
    return (length == 1 && text[0] == '.') || (length == 2 && text[0] == '.' && text[1] == '.');
}

int isSafeScreensaverFileName(const char* fileName) {
    size_t length = strlen(fileName);
    for (size_t i = 0; i < length; i++) {
        char c = fileName[i];
        if (c == '\\' || c == '/' || c == ':') return 0;
    }
    if (isDotName(fileName, length)) return 0;
    if (length >= 4 && isDotName(fileName, length - 4)) return 0;
    return 1;
}

const char* documentFileName(const char* path) {
    const char* name = path;
    for (const char* p = path; *p != 0; p++) {
        if (*p == '\\' || *p == '/') name = p + 1;
    }
    size_t length = strlen(name);
    if (length == 0 || isDotName(name, length)) return nullptr;
    if (strchr(name, ':') != nullptr) return nullptr;
    return name;
}

int appendPathName(char* buffer, size_t capacity, const char* name) {
    size_t used = strlen(buffer);
    int needSeparator = used > 0 && buffer[used - 1] != '\\';
    size_t length = strlen(name);
    if (used + (size_t)needSeparator + length >= capacity) return 0;
    if (needSeparator) buffer[used++] = '\\';
    memcpy(buffer + used, name, length + 1);
    return 1;
}
