#include "command.h"

void addInfoCommand(CLI::App&) {}
