// The edit of a registered open command into the command line that opens a
// target. Input: the command (as read from the registry, at most 255 bytes)
// up to the first NUL, the target after it.
// Properties: the line stays inside its buffer and is terminated; it fits in
// exactly its length plus one and is refused (empty) with one byte less; and
// it is the command with the first "%1" replaced by the target (or cut there
// for an empty target), or the command, a space and the target without one.
#include <string.h>

#include <string>
#include <vector>

#include "command_line.h"
#include "fuzz_support.h"

namespace {

constexpr size_t RegistryValueSize = 256;  // the registry value buffer
constexpr size_t LineSize = 384;           // the command buffer

// Runs the edit on a fresh copy of the command (it edits in place).
int build(const std::string& command, const char* target, size_t capacity, std::string* line) {
    fuzz::GuardedBuffer value(RegistryValueSize);
    memcpy(value.data(), command.c_str(), command.size() + 1);
    fuzz::GuardedBuffer out(capacity);
    int result = buildAssociatedCommand((char*)out.data(), capacity, (char*)value.data(), target);
    fuzz::check(out.intact() && value.intact(), "the edit wrote past a buffer");
    const char* text = (const char*)out.data();
    if (capacity > 0) fuzz::check(memchr(text, 0, capacity) != nullptr, "the line is not terminated");
    if (!result && capacity > 0) fuzz::check(text[0] == 0, "a refused line is not empty");
    if (line) line->assign(result ? text : "");
    return result;
}

// The line as the rules describe it.
std::string expected(std::string command, const std::string& target) {
    size_t star = command.find("%*");
    if (star != std::string::npos) command.replace(star, 2, "  ");
    size_t at = command.find("%1");
    if (at == std::string::npos) return command + " " + target;
    if (!target.empty()) return command.substr(0, at) + target + command.substr(at + 2);
    size_t cut = at;
    if (cut > 0 && command[cut - 1] == '"') cut--;
    while (cut > 0 && command[cut - 1] == ' ') cut--;
    return command.substr(0, cut);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint8_t* end = data + size;
    const uint8_t* split = (const uint8_t*)memchr(data, 0, size);
    if (!split) split = end;
    std::string command((const char*)data, (size_t)(split - data));
    if (command.size() >= RegistryValueSize) command.resize(RegistryValueSize - 1);
    std::vector<char> target = fuzz::textOf(split < end ? split + 1 : end, end);

    std::string want = expected(command, target.data());
    std::string line;
    int fits = build(command, target.data(), LineSize, &line);
    fuzz::check(fits == (want.size() < LineSize), "refused a line that fits, or took one that does not");
    if (fits) fuzz::check(line == want, "the line is not the edited command");
    // Exactly enough room, and one byte too little.
    if (want.size() + 1 <= LineSize * 4) {
        fuzz::check(build(command, target.data(), want.size() + 1, nullptr) == 1, "exact room refused");
        fuzz::check(build(command, target.data(), want.size(), nullptr) == 0, "one byte short accepted");
    }
    return 0;
}
