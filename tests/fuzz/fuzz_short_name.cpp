// The file-name checks of the installer over any names. Input: a name up to
// the first NUL, then a directory text up to the next NUL.
// Properties: the 8.3 scan agrees with a plain model of 8.3 names; the
// screensaver name check and the document name never let a name leave its
// folder; appending a name to a path stays inside the buffer and is
// all-or-nothing.
#include <string.h>

#include <string>
#include <vector>

#include "file_names.h"
#include "fuzz_support.h"

namespace {

bool ordinary(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

// At most 8 ordinary characters, then optionally one separator (a byte from
// 0x2E to 0x7F that is not ordinary) and at most 3 ordinary characters.
bool shortModel(const std::string& name) {
    size_t i = 0;
    while (i < name.size() && ordinary((unsigned char)name[i])) i++;
    if (i > 8) return false;
    if (i == name.size()) return true;
    unsigned char separator = (unsigned char)name[i];
    if (separator < 0x2E || separator >= 0x80) return false;
    size_t rest = 0;
    for (i++; i < name.size(); i++, rest++)
        if (!ordinary((unsigned char)name[i])) return false;
    return rest <= 3;
}

bool leavesFolder(const std::string& name) {
    return name.find_first_of("\\/:") != std::string::npos || name == "." || name == "..";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint8_t* end = data + size;
    std::vector<char> nameText = fuzz::textOf(data, end);
    const uint8_t* rest = data + nameText.size() < end ? data + nameText.size() : end;
    std::vector<char> dirText = fuzz::textOf(rest, end);
    const std::string name(nameText.data());

    fuzz::check(isShortName(nameText.data()) == (int)shortModel(name), "the 8.3 scan disagrees");

    bool safe = isSafeScreensaverFileName(nameText.data());
    std::string stem = name.size() >= 4 ? name.substr(0, name.size() - 4) : "";
    fuzz::check(safe == !(leavesFolder(name) || (name.size() >= 4 && (stem == "." || stem == ".."))),
                "the screensaver name check disagrees");

    // The document name: the part after the last separator, or none.
    const char* document = documentFileName(nameText.data());
    if (document) {
        fuzz::check(document >= nameText.data() && document < nameText.data() + nameText.size() - 1,
                    "the document name lies outside the path or is empty");
        fuzz::check(!leavesFolder(document), "the document name leaves the folder");
    } else {
        size_t slash = name.find_last_of("\\/");
        std::string last = slash == std::string::npos ? name : name.substr(slash + 1);
        fuzz::check(last.empty() || leavesFolder(last), "a usable document name was refused");
    }

    // Appending to a directory in a MAX_PATH buffer and in an exactly sized one.
    std::string dir(dirText.data());
    for (size_t capacity : {(size_t)260, dir.size() + 1 + name.size() + 1}) {
        if (dir.size() >= capacity) continue;
        fuzz::GuardedBuffer buffer(capacity);
        memcpy(buffer.data(), dir.c_str(), dir.size() + 1);
        int ok = appendPathName((char*)buffer.data(), capacity, nameText.data());
        fuzz::check(buffer.intact(), "appendPathName wrote past its buffer");
        bool separator = !dir.empty() && dir.back() != '\\';
        std::string want = dir + (separator ? "\\" : "") + name;
        fuzz::check(ok == (want.size() < capacity), "appendPathName refused a fitting path or took one too long");
        fuzz::check(std::string((const char*)buffer.data()) == (ok ? want : dir), "appendPathName result");
    }
    return 0;
}
