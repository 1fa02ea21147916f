#include "command.h"

void addExtractCommands(CLI::App&) {}
