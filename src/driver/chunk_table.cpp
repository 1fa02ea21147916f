#include "chunk_table.h"

#include "reader.h"
#include "writer.h"

void writeScreensaverChunks(const uint8_t* infoRecord, int32_t infoSize, TransferFlags infoFlags) {
    copyChunk("SAVER", FlagExpand | FlagUnscramble);
    copyChunk("STUB", FlagExpand);
    copyChunk("MOVIE", FlagExpand);
    addChunkFromMemory(infoRecord, infoSize, "INFO", infoFlags);
    if (chunkStoredSize("PREVIEWB") != -1) copyChunk("PREVIEWB", FlagExpand);
    if (chunkStoredSize("PREVIEWF") != -1) {
        if (sameChunkData("PREVIEWF", "MOVIE"))
            aliasEntry("PREVIEWF", "MOVIE");
        else
            copyChunk("PREVIEWF", FlagExpand);
    }
    copyChunk("ZETT", FlagExpand);
    copyChunk("KMDL", FlagExpand);
    copyNumberedChunks("ADDTL");
}
