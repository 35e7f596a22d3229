#pragma once
// Loading and replaying the uninstall log "uninst.kvx": typed records, each a
// type byte (1 to 255), a text and a NUL, back to back, nothing else.
#include <windows.h>

#include "log_reader.h"

extern HWND DialogWindow;

// Takes the path behind the first 13 characters of the command line, shows
// it in the status line and reads the whole file, ready to read its first
// record. False when nothing is held.
bool LoadLog();
void DispatchRecord(int type);
// Carries out every record after the first, then shows the finish texts.
void ReplayLog();
// Releases the log and any registry key still held.
void ReleaseLog();
