// Post-install actions, the association lookup that opens the document, and
// the deletion of the document at the end of the run or at the next restart.
#pragma once

#include <windows.h>

constexpr int RegistryValueSize = 256;
constexpr int AssociatedCommandSize = 384;

// Set by action 3 once the document was handed to its program.
extern int DeleteDocumentLater;

// Performs the configured action. Returns 1 when the action code is 0 (none),
// else 0.
int runPostInstallAction();
// Deletes the document after a five-second pause when action 3 opened it;
// when it cannot be deleted, schedules the deletion for the next restart.
void deleteTempDocument();
// Starts the program associated with the target's extension (".html" for a web
// address). Returns 1 when a program was started, 0 otherwise (also when the
// target has no dot).
int openWithAssociation(const char* target);
// Returns 1 when WinExec of the command registered for extension, applied to
// target, reported success; 0 when there is no class or command, the command
// line would not fit, or WinExec failed.
int launchAssociated(const char* target, const char* extension);
// A string value (valueName null: the default value) in the shared value
// buffer, REG_EXPAND_SZ expanded. Null when the key or value is missing, the
// value is longer than the buffer or unterminated there, or its expansion
// does not fit.
char* readRegistryString(HKEY root, const char* subKey, const char* valueName);
// Registers existingPath to be renamed to newName ("NUL": deleted) at the next
// restart: MoveFileExA, else an entry in WinInit.ini of the Windows directory.
// Returns non-zero when registered, 0 on failure.
int scheduleRenameAtRestart(const char* existingPath, const char* newName);
// The WinInit.ini route on the file at iniPath. Returns 1 when the entry is in
// the file (added or already there), 0 when the entry line is too long or the
// file cannot be opened or mapped (the file is then left at its old length).
int scheduleRenameInWinInit(const char* iniPath, const char* existingPath, const char* newName);
