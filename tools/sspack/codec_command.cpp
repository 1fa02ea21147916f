#include "command.h"

void addCodecCommands(CLI::App&) {}
