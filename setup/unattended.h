#pragma once
// The installation without a window, for scripts and package managers.

// Returns when the command line asks for the wizard; otherwise installs (or
// refuses a bad command line) and ends the process with its exit code.
void RunUnattendedIfAsked();
