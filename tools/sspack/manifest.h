// The TOML manifest of an installer: read, checked and turned into the
// settings record and the list of chunks to pack.
//
//   [screensaver] name, alt_name, keep_current
//   [texts] question, success, failure, status, code_page; [texts.alternate] the four texts
//   [buttons] yes, no
//   [install] progress, after, document
//   [chunks] saver, stub, movie, zett, kmdl, previewb, previewf, addtl, addl
//
// Every error names the manifest, the line and column, the key and the problem.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "format.h"
#include "info_record.h"

// Limits of what the installer can show or use (bytes in the record's code page).
constexpr size_t MaxTextBytes = InfoRecord::TextSlotSize - 1;   // 79
constexpr size_t MaxLabelBytes = InfoRecord::LabelSize - 1;     // 31
// The uninstall key "SOFTWARE\...\UnInstall\<name>.scr" must stay within 127
// characters: 52 for the prefix, 4 for ".scr".
constexpr size_t MaxNameBytes = 71;
// The document lands in the temporary folder under this name; the installer
// builds that path in 256 bytes, so the name leaves room for the folder.
constexpr size_t MaxDocumentNameBytes = 127;
constexpr size_t MaxChunkNameLength = ChunkNameSize - 1;        // 15
// Chunks are positioned with signed 32-bit offsets.
constexpr uint64_t MaxContainerBytes = 0x7FFFFFFF;

enum class Storage { Compressed, Stored, Auto };

struct ChunkSource {
    std::string name;     // chunk name, e.g. "SAVER"
    std::string origin;   // manifest key and position, for messages
    std::string path;     // the input file (relative to the manifest's folder resolved)
    Storage storage = Storage::Compressed;
    uint8_t xorKey = 0;   // Stored only
    std::string aliasOf;  // not empty: a second name for that chunk's data (no file)
};

struct Manifest {
    std::string path;
    InfoSettings settings;
    std::vector<ChunkSource> chunks;  // in the order they are written; INFO comes last
};

// Reads and checks the manifest at path. Throws CommandError: ExitIo when it
// cannot be read, ExitInvalid for a syntax error, an unknown key, a wrong type
// or a value that the installer could not use.
Manifest loadManifest(const std::string& path);

// Checks a chunk name (1..15 printable ASCII characters); throws CommandError
// (code) naming where when it is not one.
void checkChunkName(const std::string& name, const std::string& where, int code);
