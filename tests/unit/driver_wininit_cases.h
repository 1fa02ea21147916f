// WinInit.ini before and after scheduling "NUL=C:\TEMP\x.htm": shared by the
// test of the text edit and the Windows test of the file-mapping route.
#pragma once

#include <string>

#define WININIT_BYTES(literal) std::string(literal, sizeof(literal) - 1)

namespace wininit_cases {

constexpr const char* NewName = "NUL";
constexpr const char* ExistingPath = "C:\\TEMP\\x.htm";
constexpr const char* Line = "NUL=C:\\TEMP\\x.htm\r\n";

struct Case {
    const char* name;
    std::string before;
    std::string after;
};

inline const Case* cases(size_t* count) {
    static const Case table[] = {
        {"empty file", "", WININIT_BYTES("[Rename]\r\nNUL=C:\\TEMP\\x.htm\r\n")},
        {"no header", WININIT_BYTES("[boot]\r\nx=1\r\n"),
         WININIT_BYTES("[boot]\r\nx=1\r\n[Rename]\r\nNUL=C:\\TEMP\\x.htm\r\n")},
        {"no header, last line unended", WININIT_BYTES("[boot]\r\nx=1"),
         WININIT_BYTES("[boot]\r\nx=1\r\n[Rename]\r\nNUL=C:\\TEMP\\x.htm\r\n")},
        {"header in capitals", WININIT_BYTES("[RENAME]\r\nNUL=C:\\old.txt\r\n"),
         WININIT_BYTES("[RENAME]\r\nNUL=C:\\TEMP\\x.htm\r\nNUL=C:\\old.txt\r\n")},
        {"same line in another case", WININIT_BYTES("[rename]\r\nnul=c:\\temp\\X.HTM\r\n"),
         WININIT_BYTES("[rename]\r\nnul=c:\\temp\\X.HTM\r\n")},
        {"header followed by spaces", WININIT_BYTES("[Rename]  \r\nA=B\r\n"),
         WININIT_BYTES("[Rename]  \r\nA=B\r\n[Rename]\r\nNUL=C:\\TEMP\\x.htm\r\n")},
        {"header followed by a bare line feed", WININIT_BYTES("[Rename]\nA=B\n"),
         WININIT_BYTES("[Rename]\nA=B\n[Rename]\r\nNUL=C:\\TEMP\\x.htm\r\n")},
        {"header between sections", WININIT_BYTES("[a]\r\n[Rename]\r\nA=B\r\n[c]\r\nk=v\r\n"),
         WININIT_BYTES("[a]\r\n[Rename]\r\nNUL=C:\\TEMP\\x.htm\r\nA=B\r\n[c]\r\nk=v\r\n")},
        {"line only before the header", WININIT_BYTES("NUL=C:\\TEMP\\x.htm\r\n[Rename]\r\n"),
         WININIT_BYTES("NUL=C:\\TEMP\\x.htm\r\n[Rename]\r\nNUL=C:\\TEMP\\x.htm\r\n")},
        {"header behind a zero byte", WININIT_BYTES("[x]\r\n\0[Rename]\r\n"),
         WININIT_BYTES("[x]\r\n\0[Rename]\r\n[Rename]\r\nNUL=C:\\TEMP\\x.htm\r\n")},
    };
    *count = sizeof table / sizeof table[0];
    return table;
}

}  // namespace wininit_cases
