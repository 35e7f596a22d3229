#include <windows.h>

#include "../engine/phase_times.h"
#include "../engine/targets.h"
#include "../engine/templates.h"
#include "../wizard/wizard.h"
#include "safe_start.h"
#include "unattended.h"

namespace {

constexpr char ErrorCaption[] = "KVX Installation Error";

// Loaded later by bare name: by the compatibility layer of an elevated start,
// the access-list functions and the shell's folder browser; with the window,
// by the common controls and their themes and the COM the browser starts.
// A run without a window never loads the window's.
constexpr char PreloadedDlls[] = "version\0userenv\0profapi\0setupapi\0apphelp\0cryptbase\0ntmarta\0shfolder\0sspicli\0";
constexpr char WindowDlls[] = "comctl32\0uxtheme\0dwmapi\0oleacc\0propsys\0clbcatq\0";

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    PHASE_TIMES_START();
    // Text work only, so it may come before the safe start: it tells whether
    // a window will show.
    UnattendedOptions options;
    const StartMode mode = ParseCommandLine(GetCommandLineW(), &options);
    StartSafely(PreloadedDlls, mode == StartMode::Wizard ? WindowDlls : nullptr);
    LearnCodePage();
    RunUnattendedIfAsked(mode, options);
    if (!AllocateEngineBuffers()) {
        MessageBoxA(nullptr, "Fatal Error: Not enough memory.", ErrorCaption, MB_ICONERROR);
        ExitProcess(0);
    }
    if (!RunWizard(GetModuleHandleA(nullptr)))
        MessageBoxA(nullptr, "Fatal Error: Can't load resource.", ErrorCaption, MB_ICONERROR);
    ExitProcess(0);
}
