// File helpers of sspack: UTF-8 paths (wide calls on Windows), opening with a
// reason on failure, and outputs that appear only when complete.
#pragma once

#include <cstdint>
#include <string>

#include "platform.h"

// Path pieces. dirName gives "." for a bare name; joinPath keeps rel when it
// is absolute.
std::string dirName(const std::string& path);
std::string baseName(const std::string& path);
bool isAbsolutePath(const std::string& path);
std::string joinPath(const std::string& dir, const std::string& rel);

// The handle, or INVALID_HANDLE_VALUE with the reason in why.
HANDLE openForReading(const std::string& path, std::string& why);
// The size of an open file; false when it cannot be had.
bool handleSize(HANDLE file, uint64_t& size);
// True when both paths name one existing file.
bool sameFile(const std::string& a, const std::string& b);
bool pathExists(const std::string& path);
bool isDirectory(const std::string& path);
// Creates dir and its missing parents; false with the reason in why.
bool makeDirectories(const std::string& dir, std::string& why);
// The folder that holds the running sspack program; empty when unknown.
std::string ownDirectory();
// The null device opened for writing (INVALID_HANDLE_VALUE on failure).
HANDLE openNullDevice();
// Standard output as a handle for the transfer calls (binary on Windows).
HANDLE standardOutput();
// A path the core's 8-bit file calls can open (on Windows the ANSI or short
// form of the path).
std::string pathForCoreCalls(const std::string& path);
// The text of the last failed system call.
std::string lastErrorText();

// An output written under a temporary name in the final path's folder and
// renamed to the final path by commit(). Until then the final path is not
// touched; the temporary file is removed when the object goes away
// uncommitted (also on an interrupt).
class OutputFile {
public:
    // Throws CommandError (ExitIo) when the temporary file cannot be created.
    explicit OutputFile(std::string finalPath);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    HANDLE handle() const { return handle_; }
    const std::string& path() const { return finalPath_; }
    // Closes and renames; throws CommandError (ExitIo) on failure, having
    // removed the temporary file.
    void commit();

private:
    std::string finalPath_;
    std::string tempPath_;
    HANDLE handle_;
    bool committed_ = false;
};
