#pragma once
// The installation without a window, for scripts and package managers.

#include "command_line.h"

// Returns when the command line asked for the wizard; otherwise installs (or
// refuses a bad command line) and ends the process with its exit code.
void RunUnattendedIfAsked(StartMode mode, const UnattendedOptions& options);
