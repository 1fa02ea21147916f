// sspack compress IN OUT / sspack expand IN OUT [--raw]: one chunk's data
// through the codec, as RcBlocks or as the bare stream. "-" is standard
// input or output.
#include <string>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "command.h"
#include "files.h"
#include "stream.h"

namespace {

struct CodecOptions {
    std::string in;
    std::string out;
    bool raw = false;
};

HANDLE standardInput() {
#ifdef _WIN32
    return GetStdHandle(STD_INPUT_HANDLE);
#else
    return (HANDLE)(intptr_t)STDIN_FILENO;
#endif
}

std::string displayName(const std::string& path, const char* stdName) {
    return path == "-" ? std::string(stdName) : path;
}

// The input: an open file with its size, or standard input read whole.
struct Input {
    std::string name;
    HANDLE file = INVALID_HANDLE_VALUE;
    bool ownsFile = false;
    std::vector<uint8_t> bytes;  // standard input
    uint64_t size = 0;
    bool inMemory = false;

    explicit Input(const std::string& path) : name(displayName(path, "standard input")) {
        if (path == "-") {
            HANDLE h = standardInput();
            uint8_t buffer[65536];
            for (;;) {
                DWORD got = 0;
                if (!ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got == 0) {
                    // A closed pipe reads as the end on Windows; anything else is a failure.
#ifdef _WIN32
                    if (GetLastError() == ERROR_BROKEN_PIPE) break;
#endif
                    throw CommandError{ExitIo, name + ": cannot read: " + lastErrorText()};
                }
                if (got == 0) break;
                bytes.insert(bytes.end(), buffer, buffer + got);
            }
            size = bytes.size();
            inMemory = true;
            return;
        }
        std::string why;
        file = openForReading(path, why);
        if (file == INVALID_HANDLE_VALUE) throw CommandError{ExitIo, name + ": cannot read: " + why};
        ownsFile = true;
        if (!handleSize(file, size)) {
            CloseHandle(file);
            throw CommandError{ExitIo, name + ": cannot read its size"};
        }
    }
    ~Input() {
        if (ownsFile) CloseHandle(file);
    }
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    // Points the next stream run at this input; returns its source argument.
    const void* prepare() {
        setStreamEnds(!inMemory, (uint32_t)bytes.size(), nullptr, 0);
        return inMemory ? (const void*)bytes.data() : (const void*)file;
    }
};

// Runs one compression or expansion from in to out, the output appearing
// only when the run succeeded (standard output receives what was written).
void runCodec(const CodecOptions& o, bool compress) {
    Input in(o.in);
    const std::string outName = displayName(o.out, "standard output");
    if (compress && in.size > 0x7FFFFFFFu)
        throw CommandError{ExitInvalid, in.name + ": too large to compress (2 GiB or more)"};
    std::unique_ptr<OutputFile> file;
    if (o.out != "-") file.reset(new OutputFile(o.out));
    HANDLE target = file ? file->handle() : standardOutput();

    const void* source = in.prepare();
    setStreamFraming(!o.raw);
    bool ok = compress ? compressChunk(source, target, (int32_t)in.size)
                       : expandChunk(source, target);
    if (!ok) {
        StreamFault f = lastStreamFault();
        switch (f.kind) {
            case FaultWriteFailed:
            case FaultTargetFull:
                throw CommandError{ExitIo, outName + ": cannot write: " + lastErrorText()};
            case FaultSourceShort:
                throw CommandError{ExitIo, in.name + ": cannot read: it ended early"};
            case FaultCodesEnd:
                throw CommandError{ExitInvalid, in.name + ": damaged compressed data: " +
                                                    streamFaultText(f.kind) + " (at offset " +
                                                    std::to_string(f.offset) + ")"};
            default:
                throw CommandError{ExitInvalid, in.name + ": damaged compressed data: " +
                                                    streamFaultText(f.kind) +
                                                    " in the block at offset " +
                                                    std::to_string(f.offset)};
        }
    }
    if (file) file->commit();
}

void addOne(CLI::App& app, const char* name, const char* what, bool compress) {
    auto o = std::make_shared<CodecOptions>();
    CLI::App* sub = app.add_subcommand(name, what);
    sub->add_option("IN", o->in, "Input file, or - for standard input")->required();
    sub->add_option("OUT", o->out, "Output file, or - for standard output")->required();
    sub->add_flag("--raw", o->raw,
                  "The bare codec stream (4-byte expanded size, then the codes) instead of "
                  "checksummed blocks");
    sub->footer("Exit codes: 0 success, 1 input/output failure, 2 damaged compressed data.");
    sub->callback([o, compress]() { runCodec(*o, compress); });
}

}  // namespace

void addCodecCommands(CLI::App& app) {
    addOne(app, "compress", "Compress one chunk's data (as stored in a container)", true);
    addOne(app, "expand", "Expand one chunk's compressed data; a damaged block names its offset",
           false);
}
