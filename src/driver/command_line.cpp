#include "command_line.h"

#include <string.h>

namespace {
struct LineWriter {
    char* out;
    size_t capacity;
    size_t used;
    int fits;
};

void put(LineWriter& w, const char* text, size_t length) {
    if (!w.fits) return;
    if (length >= w.capacity - w.used) {
        w.fits = 0;
        return;
    }
    memcpy(w.out + w.used, text, length);
    w.used += length;
}
}  // namespace

int buildAssociatedCommand(char* out, size_t capacity, char* command, const char* target) {
    if (capacity == 0) return 0;
    char* star = strstr(command, "%*");
    if (star != nullptr) star[0] = star[1] = ' ';

    LineWriter w{out, capacity, 0, 1};
    size_t commandLength = strlen(command);
    const char* placeholder = strstr(command, "%1");
    if (placeholder == nullptr) {
        put(w, command, commandLength);
        put(w, " ", 1);
        put(w, target, strlen(target));
    } else {
        size_t at = (size_t)(placeholder - command);
        if (target[0] == 0) {
            size_t cut = at;
            if (cut > 0 && command[cut - 1] == '"') cut--;
            while (cut > 0 && command[cut - 1] == ' ') cut--;
            put(w, command, cut);
        } else {
            put(w, command, at);
            put(w, target, strlen(target));
            put(w, placeholder + 2, commandLength - at - 2);
        }
    }
    if (!w.fits) {
        out[0] = 0;
        return 0;
    }
    out[w.used] = 0;
    return 1;
}
