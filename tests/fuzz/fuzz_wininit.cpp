// The WinInit.ini edit over any file text and any entry line.
// Input: two bytes giving the lengths of the new name and the path (each cut
// at a NUL), those bytes, and the rest as the file's text.
// Properties: the entry line never passes its buffer; the edit stays inside
// the capacity it is given and refuses (text untouched) one byte less; its
// result holds the header with the line right behind it, or is the old text
// when the line was already there; and a second edit changes nothing.
#include <string.h>

#include <vector>

#include "fuzz_support.h"
#include "text.h"
#include "wininit_edit.h"

namespace {

struct Edit {
    int result;
    std::vector<uint8_t> text;  // the new text (all of it on success)
};

Edit edit(const std::vector<uint8_t>& old, uint32_t capacity, const char* line, uint32_t lineLength) {
    fuzz::GuardedBuffer buffer(capacity);
    if (!old.empty()) memcpy(buffer.data(), old.data(), old.size());
    uint32_t newSize = 0xFFFFFFFF;
    Edit e;
    e.result = editWinInitText(buffer.data(), capacity, (uint32_t)old.size(), line, lineLength, &newSize);
    fuzz::check(buffer.intact(), "the edit wrote past its capacity");
    if (e.result) {
        fuzz::check(newSize <= capacity && newSize >= old.size(), "new size out of range");
        e.text.assign(buffer.data(), buffer.data() + newSize);
    } else {
        fuzz::check(old.empty() || memcmp(buffer.data(), old.data(), old.size()) == 0,
                    "a refused edit changed the text");
    }
    return e;
}

bool holdsZero(const std::vector<uint8_t>& text) {
    return !text.empty() && memchr(text.data(), 0, text.size()) != nullptr;
}

// The length of the text as the edit sees it: up to the first zero byte.
size_t textLength(const std::vector<uint8_t>& text) {
    return text.empty() ? 0 : strnlen((const char*)text.data(), text.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint8_t* end = data + size;
    const uint8_t* p = data + 2;
    const uint8_t* nameEnd = p + data[0] < end ? p + data[0] : end;
    const uint8_t* pathEnd = nameEnd + data[1] * 8 < end ? nameEnd + data[1] * 8 : end;
    std::vector<char> newName = fuzz::textOf(p, nameEnd);
    std::vector<char> path = fuzz::textOf(nameEnd, pathEnd);
    std::vector<uint8_t> old(pathEnd, end);

    std::vector<char> line(RenameLineCapacity + fuzz::GuardedBuffer::GuardSize, (char)0xA5);
    uint32_t lineLength = formatRenameLine(line.data(), newName.data(), path.data());
    for (size_t i = RenameLineCapacity; i < line.size(); i++)
        fuzz::check(line[i] == (char)0xA5, "the entry line passed its buffer");
    fuzz::check(strlen(line.data()) == lineLength, "entry line length");
    if (lineLength == 0) {
        size_t needed = strlen(newName.data()) + 1 + strlen(path.data()) + 2 + 1;
        fuzz::check(needed > RenameLineCapacity, "a line that fits was refused");
        return 0;
    }

    const uint32_t capacity = (uint32_t)old.size() + lineLength + WinInitGrowth;
    Edit once = edit(old, capacity, line.data(), lineLength);
    fuzz::check(once.result == 1, "an edit with the stated room was refused");
    fuzz::check(edit(old, capacity - 1, line.data(), lineLength).result == 0,
                "an edit with one byte too little room was accepted");

    // The header, matched without case, is followed by the line within the
    // text that ends at the first zero byte.
    const char* text = (const char*)once.text.data();
    const size_t length = textLength(once.text);
    size_t header = findNoCaseIn(text, length, RenameHeader, RenameHeaderLength);
    bool oldHeld = findNoCaseIn((const char*)old.data(), textLength(old), RenameHeader, RenameHeaderLength) != 0;
    if (!holdsZero(old) || oldHeld) {
        fuzz::check(header != 0, "no header after the edit");
        fuzz::check(findNoCaseIn(text + header - 1, length - (header - 1), line.data(), lineLength) != 0,
                    "no entry line behind the header");
        if (once.text.size() == old.size())
            fuzz::check(once.text == old, "an edit that added nothing changed the text");
        Edit twice = edit(once.text, (uint32_t)once.text.size() + lineLength + WinInitGrowth, line.data(),
                          lineLength);
        fuzz::check(twice.result == 1 && twice.text == once.text, "a second edit changed the text");
    }
    return 0;
}
