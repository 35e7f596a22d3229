#pragma once
// The elevated process's first work: DLLs come from the system folder only.

// Takes the current folder and the program's own folder out of the DLL
// search, loads the DLLs that system code loads later by name from the
// system folder, and registers the common control classes. Called before
// anything else.
void StartSafely();
