#include "command.h"

void addVerifyCommand(CLI::App&) {}
