#pragma once
// The elevated process's first work: DLLs come from the system folder only.

// Takes the current folder and the program's own folder out of the DLL
// search and loads the DLLs that system code loads later by name from the
// system folder. With a window, also the common controls and what they pull
// in, and registers their classes; without one none of them is ever loaded.
void StartSafely(bool window);
