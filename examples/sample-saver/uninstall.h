// The uninstall command ("/U"): undoes what the installer did for this file.
#pragma once

struct UninstallReport {
    bool keyRemoved;       // the uninstall entry was there and is gone
    bool iniCleared;       // system.ini named this file and no longer does
    bool fileDeleted;      // the file is gone now
    bool deletionPending;  // the file will be deleted when Windows restarts
    char fileName[260];    // this file's name, without directory
};

// Removes the uninstall entry named after this file, clears system.ini
// [boot] SCRNSAVE.EXE when it names this file (and switches the screensaver
// off), and deletes this file, or schedules its deletion at restart when it
// is in use. Fills report; never fails as a whole.
void uninstallSelf(UninstallReport* report);

// The message that tells the user what uninstallSelf did, into out (size bytes).
void describeUninstall(const UninstallReport* report, char* out, int size);
