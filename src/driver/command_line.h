// The command line that opens a target with a program registered for its
// extension (no system calls).
#pragma once

#include <stddef.h>

// Builds into out (capacity bytes) the command line for target from the
// registered command, which is edited in place: its first "%*" becomes two
// spaces; its first "%1" is replaced by target. With an empty target the
// command is cut before that "%1", and before one double quote and any spaces
// in front of it. Without a "%1" the line is the command, a space and target.
// Every other "%" sequence is kept as it is. out must not overlap command.
// Returns 1, or 0 when the line would not fit (out then holds an empty text).
int buildAssociatedCommand(char* out, size_t capacity, char* command, const char* target);
