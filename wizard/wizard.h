#pragma once
// The installer's four-page wizard.
#include <windows.h>

#include <cstdint>

// The pages as CurrentPage counts them.
enum PageIndex : std::uint32_t { WelcomePage, SelectionPage, ProgressPage, FinishPage, PageCount };

extern HINSTANCE ModuleHandle;
// The wizard's dialog; null while there is none.
extern HWND WizardWindow;
// Changed on the dialog's thread only.
extern std::uint32_t CurrentPage;

// Shows the wizard until it closes; false when its dialog never came up.
bool RunWizard(HINSTANCE module);
INT_PTR CALLBACK WizardDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void ShowPage();

void EnterWelcomePage();
void EnterSelectionPage();
void EnterProgressPage();
void EnterFinishPage();
