// sspack: builds screensaver installers and inspects chunk containers.
#include <cstdio>

#include "command.h"

int main(int argc, char** argv) {
    CLI::App app{"sspack: builds screensaver installers from a TOML manifest, and lists, "
                 "extracts, verifies and describes chunk containers (installers and "
                 "installed .scr files).",
                 "sspack"};
    app.footer(
        "Exit codes: 0 success, 1 input/output failure, 2 invalid or damaged input, "
        "64 usage error.");
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
        std::fprintf(stderr, "sspack: %s\n", e.message.c_str());
        return e.code;
    }
    return ExitOk;
}
