#include "command.h"

void addListCommand(CLI::App&) {}
