#include <windows.h>

#include "../engine/targets.h"
#include "../engine/templates.h"
#include "../wizard/resource.h"
#include "../wizard/wizard.h"
#include "safe_start.h"
#include "unattended.h"

namespace {
constexpr char ErrorCaption[] = "KVX Installation Error";
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    StartSafely();
    LearnCodePage();
    RunUnattendedIfAsked();
    if (!AllocateEngineBuffers()) {
        MessageBoxA(nullptr, "Fatal Error: Not enough memory.", ErrorCaption, MB_ICONERROR);
        ExitProcess(0);
    }
    ModuleHandle = GetModuleHandleA(nullptr);
    // The dialog always ends with 0; anything else means it never came up.
    if (DialogBoxParamA(ModuleHandle, MAKEINTRESOURCEA(IDD_WIZARD), nullptr, WizardDialogProc, 0) != 0)
        MessageBoxA(nullptr, "Fatal Error: Can't load resource.", ErrorCaption, MB_ICONERROR);
    if (PictureBitmap) DeleteObject(PictureBitmap);
    ExitProcess(0);
}
