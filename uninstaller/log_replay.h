#pragma once
// Loading the uninstall log "uninst.kvx" named on the command line and
// replaying its records in the dialog.
#include <windows.h>

extern HWND DialogWindow;

// Takes the log path the command line names after the program's name (and
// "/S"), shows it in the status line and reads the whole file, ready to read
// its first record. False when nothing is held.
bool LoadLog();
// The quiet form "\"kvxpurge.exe\" /S <log path>", however a launcher spelled
// the program's name.
bool QuietStart();
void DispatchRecord(int type);
// Carries out every record after the first, then shows the finish texts.
// Returns how many listed files are still there.
unsigned ReplayLog();
// Releases the log and any registry key still held.
void ReleaseLog();
