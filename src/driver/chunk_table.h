// Which chunks of the installer go into the screensaver file, in which order
// and how: the one place that knows the chunk table of an installation.
#pragma once

#include <stdint.h>

#include "format.h"

// Copies the reader's chunks into the open writer: SAVER (expanded and plain,
// so the new file starts with the program), STUB, MOVIE, the settings record
// from memory (infoFlags: FlagCompress in the installer), PREVIEWB and
// PREVIEWF when present (PREVIEWF as a second name of MOVIE's data when they
// share it), ZETT, KMDL, then the ADDTL series as it is. Failures latch (the
// ADDTL series never does); the caller reads ErrorLatch afterwards.
void writeScreensaverChunks(const uint8_t* infoRecord, int32_t infoSize, TransferFlags infoFlags);
