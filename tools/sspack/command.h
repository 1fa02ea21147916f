// Shared by the sspack subcommands: exit codes and the error that ends a command.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

enum ExitCode : int {
    ExitOk = 0,
    ExitIo = 1,       // a file could not be read or written
    ExitInvalid = 2,  // invalid or damaged input (manifest, container, chunk)
    ExitUsage = 64,   // wrong command line
};

// Thrown by a command to end sspack: main prints "sspack: <message>" to
// standard error and exits with code. Messages name the file and the problem.
struct CommandError {
    int code;
    std::string message;
};

// Each adds its subcommands to the app; their callbacks do the work.
void addListCommand(CLI::App& app);
void addCodecCommands(CLI::App& app);    // compress, expand
void addBuildCommands(CLI::App& app);    // build, init
void addExtractCommands(CLI::App& app);  // extract, cat
void addVerifyCommand(CLI::App& app);
void addInfoCommand(CLI::App& app);
