// The installation proper: builds the screensaver file in the Windows
// directory from the own container's chunks and integrates it.
#pragma once

constexpr int TempDocumentPathSize = 256;
// Full path of the document of post-install action 3, in the temporary folder.
extern char TempDocumentPath[TempDocumentPathSize];

// Runs once per process. Its outcome is InstallSucceeded (1 when nothing
// failed), the new file, the system settings and the message shown.
// Returns 0 always.
int runInstallSequence();
