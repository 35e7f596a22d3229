#include <windows.h>

#include "../engine/targets.h"
#include "../engine/templates.h"
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
    if (!RunWizard(GetModuleHandleA(nullptr)))
        MessageBoxA(nullptr, "Fatal Error: Can't load resource.", ErrorCaption, MB_ICONERROR);
    ExitProcess(0);
}
