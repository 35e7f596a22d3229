#pragma once
// kvxpurge's command line, read as Windows reads it: what follows the
// program's name (a quoted name ends at its closing quote, another at the
// first blank, and the blanks after it are passed over), then "/S" (either
// case) with its blanks for the quiet form. Both forms registered by earlier
// kits ("kvxpurge.exe <log>" and "\"kvxpurge.exe\" /S <log>") read the same
// way. Plain byte work.

// The quiet form: "/S" after the program's name, however a launcher spelled
// that name ("\"C:\...\kvxpurge.exe\" /S <log>", "kvxpurge.exe /s <log>").
bool QuietCommand(const char* commandLine);
// The log path the command line names: a path in quotes ends at its closing
// quote and, when shorter than PathSize, is copied into path (PathSize
// bytes) and path returned; one without them is the rest of the line,
// blanks and all, returned in place.
const char* LogPathText(const char* commandLine, char* path);
