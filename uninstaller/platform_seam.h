#pragma once
// What the byte rules ask of the platform. The Win32 side defines these in
// platform_seam.cpp; the native fuzz build gives answers of its own.
#include "path_text.h"

// The largest path the uninstaller handles, with its terminator.
constexpr unsigned PathSize = 260;

// The absolute form of path, as the platform resolves it, into out; false
// when it fails or does not fit.
bool FullPathOf(const char* path, char* out, unsigned outSize);
// True when the folder at path is a junction or symbolic link.
bool IsReparsePoint(const char* path);
// Paths are walked by character (NextChar); IsLeadByte is defined beside
// these, from the ANSI code page.

// True when at holds a backslash that is a character of its own.
inline bool AtSeparator(const char* at) { return *at == '\\' && NextChar(at) == at + 1; }
