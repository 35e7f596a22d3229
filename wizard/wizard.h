#pragma once
// The installer's four-page wizard.
#include <windows.h>

#include <atomic>
#include <cstdint>

constexpr std::uint32_t PageCount = 4;

extern HINSTANCE ModuleHandle;
// 0 to 3 for pages 1 to 4. The worker moves it on once, from its own thread.
extern std::atomic<std::uint32_t> CurrentPage;
extern HBITMAP PictureBitmap;

INT_PTR CALLBACK WizardDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void ShowPage();

void EnterWelcomePage();
void EnterSelectionPage();
void EnterProgressPage();
void EnterFinishPage();
