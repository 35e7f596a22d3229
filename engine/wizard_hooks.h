#pragma once
// What the engine does to the wizard while it shows an installation. All of
// it is skipped while there is no wizard (the run without a window).
#include <windows.h>

// The wizard's window; null while there is none.
extern HWND WizardWindow;
// Filled in by the wizard: add 1 to the page index and show that page. Null
// means there is no wizard to advance.
extern void (*AdvanceWizardPage)();

void SetWizardControlText(int id, const char* text);
// Moves the wizard's progress bar on by amount.
void AdvanceProgress(int amount);
