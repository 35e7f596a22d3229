#pragma once
// The installer's command line. Without options the wizard runs, as it always
// has; "/S [/LOG=file] [/D=folder]" installs without a window. Read as the
// Unicode text Windows keeps, so that any name a launcher passes arrives
// whole. Plain character work: this file and command_line.cpp must not need
// <windows.h>.
#include "../engine/templates.h"

enum class StartMode { Wizard, Unattended, BadCommandLine };

// The exit codes of an unattended run.
enum UnattendedExit : unsigned {
    ExitInstalled = 0,           // nothing failed
    ExitBadCommandLine = 1,      // nothing installed
    ExitEnvironmentRunning = 2,  // a chosen environment runs; nothing installed
    ExitFinishedWithErrors = 3,  // installed, but some step failed (the report says which)
    ExitNothingInstalled = 4,    // the destination folder could not be made
    ExitReportNotWritten = 5,    // installed, nothing failed, but /LOG='s report could not be written safely
};

struct UnattendedOptions {
    wchar_t destination[PathSize];  // empty: the folder page 2 would propose
    wchar_t logFile[PathSize];      // empty: no report
};

// The command line as the process got it, program name first. Anything after
// the name that does not begin with '/' (or '"/') is ignored, as it always
// was: the wizard runs. Options are "/S" (required), "/LOG=file" (a file name
// without blanks, or in double quotes) and "/D=folder", which takes the rest
// of the line, blanks included, up to blanks followed by another option. An
// option quoted whole ("/D=C:\a b") is one word, taken as CommandLineToArgvW
// takes it. Letters may be of either case. An unknown, repeated, empty or
// overlong option is a bad command line.
StartMode ParseCommandLine(const wchar_t* commandLine, UnattendedOptions* options);
