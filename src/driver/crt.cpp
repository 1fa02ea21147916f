// The few C library routines the installer uses, for a program linked without
// any C runtime. Compiled with builtins off, so that these loops do not turn
// into calls of themselves.
#include <stddef.h>

extern "C" {

void* memcpy(void* target, const void* source, size_t count) {
    unsigned char* t = (unsigned char*)target;
    const unsigned char* s = (const unsigned char*)source;
    while (count--) *t++ = *s++;
    return target;
}

void* memmove(void* target, const void* source, size_t count) {
    unsigned char* t = (unsigned char*)target;
    const unsigned char* s = (const unsigned char*)source;
    if (t < s) {
        while (count--) *t++ = *s++;
    } else {
        while (count--) t[count] = s[count];
    }
    return target;
}

void* memset(void* target, int value, size_t count) {
    unsigned char* t = (unsigned char*)target;
    while (count--) *t++ = (unsigned char)value;
    return target;
}

int memcmp(const void* a, const void* b, size_t count) {
    const unsigned char* p = (const unsigned char*)a;
    const unsigned char* q = (const unsigned char*)b;
    for (; count--; p++, q++)
        if (*p != *q) return *p - *q;
    return 0;
}

size_t strlen(const char* text) {
    size_t length = 0;
    while (text[length]) length++;
    return length;
}

int strcmp(const char* a, const char* b) {
    while (*a && *a == *b) a++, b++;
    return (unsigned char)*a - (unsigned char)*b;
}

char* strchr(const char* text, int c) {
    for (;; text++) {
        if (*text == (char)c) return (char*)text;
        if (!*text) return nullptr;
    }
}

char* strrchr(const char* text, int c) {
    const char* found = nullptr;
    for (;; text++) {
        if (*text == (char)c) found = text;
        if (!*text) return (char*)found;
    }
}

char* strstr(const char* text, const char* pattern) {
    for (;; text++) {
        size_t k = 0;
        while (pattern[k] && text[k] == pattern[k]) k++;
        if (!pattern[k]) return (char*)text;
        if (!*text) return nullptr;
    }
}

char* strpbrk(const char* text, const char* set) {
    for (; *text; text++)
        for (const char* s = set; *s; s++)
            if (*text == *s) return (char*)text;
    return nullptr;
}
}
