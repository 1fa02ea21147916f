// Packs an installer: the installer program (the stub) as the file's prefix,
// then every chunk of the manifest, the settings record as INFO, and the
// enciphered directory.
//
//   | stub | SAVER | STUB | MOVIE | ZETT | KMDL | PREVIEWB | PREVIEWF | LESMI |
//   | ADDTL... | ADDL... | INFO | directory (record 0 = SAVER ends the file) |
//
// Chunk data streams from the input files through the transfer pipeline, so
// memory stays small whatever the sizes. The same inputs give the same bytes.
#pragma once

#include <string>

#include "manifest.h"

// Writes the installer to outPath (through a temporary file that is renamed
// at the end). Prints one line per chunk when report is set. Throws
// CommandError: ExitIo when an input cannot be read or the output cannot be
// written, ExitInvalid when a chunk or the whole installer would reach 2 GiB.
void buildInstaller(const Manifest& manifest, const std::string& stubPath,
                    const std::string& outPath, bool report);
