// sspack extract FILE [NAME...] [--all] [-o DIR], and sspack cat FILE NAME.
#include <cstdio>
#include <memory>
#include <vector>

#include "command.h"
#include "container_file.h"
#include "files.h"
#include "manifest.h"
#include "reader.h"

namespace {

struct ExtractOptions {
    std::string file;
    std::vector<std::string> names;
    bool all = false;
    std::string dir = ".";
};

// A name that is safe as a file name in any folder on Linux and Windows.
bool safeFileName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (unsigned char c : name)
        if (c < 0x20 || c >= 0x7F || std::string("/\\:*?\"<>|").find((char)c) != std::string::npos)
            return false;
    return true;
}

// The record that answers for name, as a reader finds it.
const DirectoryEntry* findChunk(const OpenedContainer& c, const std::string& name) {
    const DirectoryEntry* e = findEntry(name.c_str(), MatchStored | MatchInline);
    if (!e) throw CommandError{ExitInvalid, c.path + ": no chunk named " + name};
    return e;
}

// Checks that the record can be read at all; throws ExitInvalid naming it.
void checkReadable(const OpenedContainer& c, const DirectoryEntry& e) {
    std::string why;
    if (e.storage != StorageStored && e.storage != StorageCompressed && e.storage != StorageInline)
        throw CommandError{ExitInvalid, c.path + ": chunk " + entryName(e) + " is damaged: unknown "
                                        "storage kind " + std::to_string(e.storage)};
    if (!chunkDataInside(c, e, why))
        throw CommandError{ExitInvalid, c.path + ": chunk " + entryName(e) + " is damaged: " + why};
}

std::string expectedSizeText(const DirectoryEntry& e) {
    return std::to_string(e.storage == StorageInline ? 0 : le32(e.plainSize));
}

// Extracts one record to dir/name through a temporary file.
void extractOne(const OpenedContainer& c, const DirectoryEntry& e, const std::string& dir) {
    checkReadable(c, e);
    std::string name = rawEntryName(e);
    if (!safeFileName(name))
        throw CommandError{ExitInvalid, c.path + ": chunk \"" + entryName(e) +
                                            "\" has a name that is not a safe file name; not "
                                            "extracted"};
    OutputFile out(joinPath(dir, name));
    uint64_t written = 0;
    bool ok = writePlainChunk(e, out.handle(), written);
    if (!ok || (e.storage != StorageInline && written != le32(e.plainSize))) {
        std::string why = ok ? "it expanded to " + std::to_string(written) + " bytes instead of " +
                                   expectedSizeText(e)
                             : "a block fails its check, its data is cut short, or " +
                                   out.path() + " cannot be written";
        throw CommandError{ExitInvalid, c.path + ": chunk " + entryName(e) + " is damaged: " + why};
    }
    out.commit();
    std::printf("%-16s -> %s (%llu bytes)\n", entryName(e).c_str(), out.path().c_str(),
                (unsigned long long)written);
}

void runExtract(const ExtractOptions& o) {
    if (o.all == !o.names.empty())
        throw CommandError{ExitUsage, "extract: name the chunks to extract, or give --all"};
    for (const std::string& name : o.names) checkChunkName(name, o.file, ExitUsage);
    OpenedContainer c = openContainerFile(o.file);
    std::vector<const DirectoryEntry*> chosen;
    if (o.all) {
        for (int32_t k = 0; k < c.entryCount; k++)
            if (firstRecordNamed(k) == k) chosen.push_back(readerEntry(k));
    } else {
        for (const std::string& name : o.names) chosen.push_back(findChunk(c, name));
    }
    std::string why;
    if (!makeDirectories(o.dir, why)) throw CommandError{ExitIo, o.dir + ": cannot create: " + why};
    // Every chunk that can be extracted is; the first failure decides the exit code.
    CommandError first{ExitOk, ""};
    for (const DirectoryEntry* e : chosen) {
        try {
            extractOne(c, *e, o.dir);
        } catch (const CommandError& err) {
            std::fprintf(stderr, "sspack: %s\n", err.message.c_str());
            if (first.code == ExitOk) first = CommandError{err.code, ""};
        }
    }
    closeContainerFile();
    if (first.code != ExitOk)
        throw CommandError{first.code, c.path + ": not every chunk could be extracted"};
}

void runCat(const std::string& file, const std::string& name) {
    checkChunkName(name, file, ExitUsage);
    OpenedContainer c = openContainerFile(file);
    const DirectoryEntry* e = findChunk(c, name);
    checkReadable(c, *e);
    std::fflush(stdout);
    uint64_t written = 0;
    bool ok = writePlainChunk(*e, standardOutput(), written);
    closeContainerFile();
    if (!ok || (e->storage != StorageInline && written != le32(e->plainSize)))
        throw CommandError{ExitInvalid, c.path + ": chunk " + entryName(*e) +
                                            " is damaged (or standard output closed) after " +
                                            std::to_string(written) + " bytes"};
}

}  // namespace

void addExtractCommands(CLI::App& app) {
    auto o = std::make_shared<ExtractOptions>();
    CLI::App* extract = app.add_subcommand(
        "extract", "Write chunks' plain bytes (expanded, unscrambled) to DIR/NAME.");
    extract->add_option("FILE", o->file, "The installer or installed .scr file")->required();
    extract->add_option("NAME", o->names, "Chunk names (letter case does not matter)");
    extract->add_flag("--all", o->all, "Extract every chunk");
    extract->add_option("-o,--output", o->dir, "The folder to write to (default: the current one)");
    extract->callback([o] { runExtract(*o); });

    auto file = std::make_shared<std::string>();
    auto name = std::make_shared<std::string>();
    CLI::App* cat = app.add_subcommand("cat", "Write one chunk's plain bytes to standard output.");
    cat->add_option("FILE", *file, "The installer or installed .scr file")->required();
    cat->add_option("NAME", *name, "The chunk name")->required();
    cat->callback([file, name] { runCat(*file, *name); });
}
