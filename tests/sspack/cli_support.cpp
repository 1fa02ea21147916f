#include "cli_support.h"

#include <dirent.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::string quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

}  // namespace

const char* const RequiredChunks =
    "[chunks]\n"
    "saver = \"saver.scr\"\n"
    "stub = \"stub.bin\"\n"
    "movie = \"movie.dat\"\n"
    "zett = \"zett.bin\"\n"
    "kmdl = \"kmdl.bin\"\n";

const char* const PlainScreensaver = "[screensaver]\nname = \"Aurora\"\n";

RunResult runProgram(const std::string& program, const std::vector<std::string>& args) {
    fixture::TempDir capture;
    std::string command = quote(program);
    for (const std::string& a : args) command += " " + quote(a);
    command += " >" + quote(capture.file("out")) + " 2>" + quote(capture.file("err"));
    RunResult r;
    int status = std::system(command.c_str());
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = readText(capture.file("out"));
    r.err = readText(capture.file("err"));
    return r;
}

RunResult runSspack(const std::vector<std::string>& args) { return runProgram(SSPACK_PATH, args); }

void writeText(const std::string& path, const std::string& text) {
    fixture::writeFile(path, fixture::Bytes(text.begin(), text.end()));
}

std::string readText(const std::string& path) {
    fixture::Bytes b = fixture::readFile(path);
    return std::string(b.begin(), b.end());
}

std::vector<std::string> folderEntries(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

Inputs::Inputs() {
    fixture::writeFile(path("stub.exe"), program);
    fixture::writeFile(path("saver.scr"), saver);
    fixture::writeFile(path("stub.bin"), stub);
    fixture::writeFile(path("movie.dat"), movie);
    fixture::writeFile(path("zett.bin"), zett);
    fixture::writeFile(path("kmdl.bin"), kmdl);
}

std::string Inputs::manifest(const std::string& text) const {
    writeText(path("manifest.toml"), text);
    return path("manifest.toml");
}

RunResult Inputs::build(const std::string& manifestText, const std::string& out) const {
    return runSspack({"build", manifest(manifestText), "-o", path(out), "--stub", path("stub.exe")});
}
