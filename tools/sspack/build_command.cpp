#include "command.h"

void addBuildCommands(CLI::App&) {}
