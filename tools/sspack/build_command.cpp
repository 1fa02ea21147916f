// sspack build MANIFEST -o OUT [--stub FILE], and sspack init [DIR].
#include <cstdio>
#include <cstring>
#include <memory>

#include "command.h"
#include "example_manifest.h"
#include "files.h"
#include "installer_builder.h"
#include "manifest.h"

namespace {

constexpr const char* DefaultStubName = "SsInstaller.exe";
constexpr const char* ManifestFileName = "manifest.toml";

struct BuildOptions {
    std::string manifest;
    std::string output;
    std::string stub;
    bool quiet = false;
};

void runBuild(const BuildOptions& o) {
    Manifest m = loadManifest(o.manifest);
    std::string stub = o.stub;
    if (stub.empty()) {
        std::string dir = ownDirectory();
        stub = joinPath(dir.empty() ? "." : dir, DefaultStubName);
        if (!pathExists(stub))
            throw CommandError{ExitIo, stub + ": no installer program beside sspack; name one "
                                              "with --stub FILE"};
    }
    if (!o.quiet) std::printf("Packing %s from %s:\n", o.output.c_str(), o.manifest.c_str());
    buildInstaller(m, stub, o.output, !o.quiet);
    if (!o.quiet) std::printf("Wrote %s\n", o.output.c_str());
}

void runInit(const std::string& dir) {
    std::string why;
    if (!makeDirectories(dir, why)) throw CommandError{ExitIo, dir + ": cannot create: " + why};
    std::string path = joinPath(dir, ManifestFileName);
    if (pathExists(path))
        throw CommandError{ExitIo, path + ": already exists; it was left as it is"};
    OutputFile out(path);
    DWORD n = (DWORD)std::strlen(ExampleManifest), put = 0;
    if (!WriteFile(out.handle(), ExampleManifest, n, &put, nullptr) || put != n) {
        why = lastErrorText();
        throw CommandError{ExitIo, path + ": cannot write: " + why};
    }
    out.commit();
    std::printf("Wrote %s: edit it, then run  sspack build %s -o Installer.exe\n", path.c_str(),
                path.c_str());
}

}  // namespace

void addBuildCommands(CLI::App& app) {
    auto o = std::make_shared<BuildOptions>();
    CLI::App* build = app.add_subcommand("build", "Build an installer from a TOML manifest.");
    build->add_option("MANIFEST", o->manifest, "The manifest (see `sspack init`)")->required();
    build->add_option("-o,--output", o->output, "The installer to write")->required();
    build->add_option("--stub", o->stub,
                      "The installer program that the chunks follow (default: SsInstaller.exe in "
                      "the folder that holds the sspack program)");
    build->add_flag("-q,--quiet", o->quiet, "Print nothing on success");
    build->footer(
        "The output is written under a temporary name beside it and renamed when complete; "
        "on any error nothing is left behind. Limits: texts 79 bytes, button labels 31 bytes "
        "(in the named code page), screensaver name 71 bytes, document file name 127 "
        "characters, 32 chunks with INFO, each chunk and the whole installer below 2 GiB.\n"
        "Exit codes: 0 success, 1 an input cannot be read or the output written, 2 invalid "
        "manifest or input, 64 usage error.");
    build->callback([o] { runBuild(*o); });

    auto dir = std::make_shared<std::string>(".");
    CLI::App* init =
        app.add_subcommand("init", "Write a commented example manifest, DIR/manifest.toml.");
    init->add_option("DIR", *dir, "The folder for the manifest (default: the current one)");
    init->callback([dir] { runInit(*dir); });
}
