// sspack: builds screensaver installers and inspects chunk containers.
#include <cstdio>
#include <string>
#include <vector>

#include "command.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>

#include "text_encoding.h"
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
    // Arguments as UTF-8, like the manifest's paths; files open with the wide calls.
    std::vector<std::string> utf8Args;
    std::vector<char*> utf8Argv;
    int wideCount = 0;
    if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &wideCount)) {
        for (int i = 0; i < wideCount; i++) utf8Args.push_back(narrow(wide[i]));
        LocalFree(wide);
        for (std::string& a : utf8Args) utf8Argv.push_back(&a[0]);
        utf8Argv.push_back(nullptr);
        argc = wideCount;
        argv = utf8Argv.data();
    }
    SetConsoleOutputCP(CP_UTF8);
#endif
    CLI::App app{"sspack: builds screensaver installers from a TOML manifest, and lists, "
                 "extracts, verifies and describes chunk containers (installers and "
                 "installed .scr files).",
                 "sspack"};
    app.footer(
        "Exit codes: 0 success, 1 input/output failure (a file that cannot be read or "
        "written), 2 invalid or damaged input (manifest, container, chunk), 64 usage error.\n"
        "`sspack build` puts SsInstaller.exe from the folder of the sspack program in front "
        "of the chunks unless --stub names another installer program.");
    app.require_subcommand(1);
    addListCommand(app);
    addCodecCommands(app);
    addBuildCommands(app);
    addExtractCommands(app);
    addVerifyCommand(app);
    addInfoCommand(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return ExitUsage;
    } catch (const CommandError& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "sspack: %s\n", e.message.c_str());
        return e.code;
    }
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? ExitOk : ExitIo;
}
