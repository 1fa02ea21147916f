#include "command_line.h"

static bool isSpace(char c) { return c == ' ' || c == '\t'; }

const char* skipProgramName(const char* commandLine) {
    const char* p = commandLine;
    if (*p == '"') {
        ++p;
        while (*p && *p != '"') ++p;
        if (*p) ++p;
    } else {
        while (*p && !isSpace(*p)) ++p;
    }
    while (isSpace(*p)) ++p;
    return p;
}

SaverCommand parseSaverCommand(const char* arguments) {
    SaverCommand command = {SaverMode::Configure, 0};
    const char* p = arguments;
    while (isSpace(*p)) ++p;
    if (!*p) return command;
    if (*p == '/' || *p == '-') ++p;
    switch (*p | 0x20) {
        case 's': command.mode = SaverMode::FullScreen; break;
        case 'p': command.mode = SaverMode::Preview; break;
        case 'c': command.mode = SaverMode::Configure; break;
        case 'a': command.mode = SaverMode::Password; break;
        case 'u': command.mode = SaverMode::Uninstall; break;
        default: command.mode = SaverMode::Unknown; return command;
    }
    ++p;
    if (*p && *p != ':' && !isSpace(*p)) {
        command.mode = SaverMode::Unknown;  // "/setup" is not "/s"
        return command;
    }
    if (*p == ':') ++p;
    while (isSpace(*p)) ++p;
    uintptr_t value = 0;
    while (*p >= '0' && *p <= '9') value = value * 10 + (uintptr_t)(*p++ - '0');
    command.window = value;
    if (command.mode == SaverMode::Preview && value == 0) command.mode = SaverMode::Unknown;
    return command;
}
