// Running the built sspack from tests, and a folder of inputs for manifests.
#pragma once

#include <string>
#include <vector>

#include "fixture.h"

struct RunResult {
    int code = -1;
    std::string out;
    std::string err;
};

// Runs sspack with args; standard output and error are collected.
RunResult runSspack(const std::vector<std::string>& args);
// The same with another sspack program (a copy placed elsewhere).
RunResult runProgram(const std::string& program, const std::vector<std::string>& args);

void writeText(const std::string& path, const std::string& text);
std::string readText(const std::string& path);
// Names of the entries of a folder, sorted.
std::vector<std::string> folderEntries(const std::string& dir);

// The five required chunks as a manifest's [chunks] table, and a
// [screensaver] table naming "Aurora".
extern const char* const RequiredChunks;
extern const char* const PlainScreensaver;

// A temporary folder holding an installer program (stub.exe) and the input
// files that RequiredChunks names.
struct Inputs {
    fixture::TempDir dir;
    fixture::Bytes program = fixture::pattern(3000, 7);
    fixture::Bytes saver = fixture::pattern(5000, 1);
    fixture::Bytes stub = fixture::pattern(700, 2);
    fixture::Bytes movie = fixture::Bytes(20000, 'M');
    fixture::Bytes zett = fixture::Bytes(300, 'Z');
    fixture::Bytes kmdl = fixture::pattern(64, 3);

    Inputs();
    std::string path(const std::string& name) const { return dir.file(name); }
    // Writes manifest.toml with this text; its path.
    std::string manifest(const std::string& text) const;
    // Builds manifest text into out.exe; the result of sspack.
    RunResult build(const std::string& manifestText, const std::string& out = "out.exe") const;
};
