// sspack compress / expand: files and pipes, framed and bare, and what a
// damaged input or an unwritable output does to the exit code and message.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>

#include "codec_helpers.h"

namespace {

struct Folder {
    std::string path;
    Folder() {
        char name[] = "/tmp/ss_codec_cli_XXXXXX";
        path = mkdtemp(name) ? name : "/tmp";
    }
    ~Folder() {
        std::string cmd = "rm -rf '" + path + "'";
        if (system(cmd.c_str()) != 0) ADD_FAILURE() << "cannot remove " << path;
    }
    std::string file(const std::string& name) const { return path + "/" + name; }
};

void writeBytes(const std::string& path, const Bytes& b) {
    std::ofstream(path, std::ios::binary).write((const char*)b.data(), (std::streamsize)b.size());
}
Bytes readBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

struct Outcome {
    int code;
    std::string err;
};

// Runs a shell line with sspack in it as $S; its exit code and standard error.
Outcome shell(const Folder& dir, const std::string& line) {
    std::string errFile = dir.file("stderr.txt");
    std::string cmd = "cd '" + dir.path + "' && S='" SS_SSPACK_PATH "' && { " + line + " ; } 2>'" +
                      errFile + "'";
    int status = system(cmd.c_str());
    Bytes err = readBytes(errFile);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, std::string(err.begin(), err.end())};
}

TEST(CodecCommand, RoundTripsThroughFilesAndPipes) {
    Folder dir;
    const Bytes data = textBytes(70000, 2);
    writeBytes(dir.file("in.bin"), data);
    struct Case {
        const char* line;
        const char* packed;  // the compressed file the line leaves
        bool framed;
    };
    const Case cases[] = {
        {"$S compress in.bin c.rc && $S expand c.rc out.bin", "c.rc", true},
        {"$S compress --raw in.bin c.lz && $S expand --raw c.lz out.bin", "c.lz", false},
        {"$S compress - c.rc < in.bin && $S expand - - < c.rc > out.bin", "c.rc", true},
        {"cat in.bin | $S compress --raw - - | tee c.lz | $S expand --raw - out.bin", "c.lz",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        unlink(dir.file("out.bin").c_str());
        Outcome r = shell(dir, c.line);
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_TRUE(readBytes(dir.file("out.bin")) == data);
        EXPECT_EQ(readBytes(dir.file(c.packed)), compressMemory(data, c.framed).out);
    }
}

TEST(CodecCommand, FailuresNameTheFileAndTheBlock) {
    Folder dir;
    Bytes chunk = compressMemory(randomBytes(30000, 3)).out;
    Bytes bad = chunk;
    bad[10 + 10240 + 2] ^= 0x40;  // checksum of the second code block
    writeBytes(dir.file("bad.rc"), bad);
    writeBytes(dir.file("cut.rc"), Bytes(chunk.begin(), chunk.end() - 100));
    writeBytes(dir.file("plain.bin"), Bytes(5000, 'x'));
    writeBytes(dir.file("good.rc"), chunk);
    struct Case {
        const char* line;
        int code;
        const char* message;
    };
    const Case cases[] = {
        {"$S expand bad.rc out.bin", 2,
         "bad.rc: damaged compressed data: bad block checksum in the block at offset 10250"},
        {"$S expand cut.rc out.bin", 2, "cut.rc: damaged compressed data: bad block length"},
        {"$S expand plain.bin out.bin", 2, "plain.bin: damaged compressed data: bad block magic"},
        {"$S expand --raw good.rc out.bin", 2, "good.rc: damaged compressed data"},
        {"$S expand - out.bin < bad.rc", 2, "standard input: damaged compressed data"},
        {"$S expand missing.rc out.bin", 1, "missing.rc: cannot read"},
        {"$S compress missing.bin out.rc", 1, "missing.bin: cannot read"},
        {"$S expand good.rc no/such/folder/out.bin", 1, "no/such/folder/out.bin: cannot write"},
        {"$S compress good.rc - > /dev/full", 1, "standard output: cannot write"},
        {"$S expand good.rc - > /dev/full", 1, "standard output: cannot write"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Outcome r = shell(dir, c.line);
        EXPECT_EQ(r.code, c.code);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_NE(access(dir.file("out.bin").c_str(), F_OK), 0) << "a failed run leaves no output";
    }
}

}  // namespace
