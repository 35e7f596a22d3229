// kvxpurge: shows the product an uninstall log describes and, on the user's
// word, replays the log. Linked without the C runtime: the entry below is the
// process's first code and ends it with ExitProcess.
#include <windows.h>

#include "delayed_imports.h"
#include "environments.h"
#include "log_records.h"
#include "log_replay.h"
#include "resource.h"
#include "safe_start.h"

namespace {

// Loaded later by bare name: by the compatibility layer of an elevated start,
// and with the window by the common controls and their themes.
constexpr char PreloadedDlls[] = "version\0userenv\0profapi\0apphelp\0cryptbase\0sspicli\0";
constexpr char WindowDlls[] = "comctl32\0uxtheme\0dwmapi\0oleacc\0";

void CloseDialog()
{
    ReleaseLog();
    EndDialog(DialogWindow, 0);
}

INT_PTR OnInitDialog(HWND dialog)
{
    DialogWindow = dialog;
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_UNINSTALL));
    SetClassLongA(dialog, GCL_HICON, reinterpret_cast<LONG>(icon));
    if (LoadLog()) {
        SetDlgItemTextA(dialog, IDC_STAGE, "Press the <Uninstall> button for start the removing:");
        EnableWindow(GetDlgItem(dialog, IDC_UNINSTALL), TRUE);
        // The installer's first record is the product; it is shown now, and
        // the replay begins with the second.
        DispatchRecord(ReadNextRecord());
    }
    return TRUE;
}

// Escape's IDCANCEL and every other id fall through: only our two buttons act.
void OnCommand(WPARAM wParam)
{
    if (HIWORD(wParam) != 0) return;
    switch (LOWORD(wParam)) {
    case IDC_CANCEL: CloseDialog(); break;
    case IDC_UNINSTALL:
        if (EnvironmentsClosed()) ReplayLog();
        break;
    }
}

INT_PTR CALLBACK UninstallDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: return OnInitDialog(dialog);
    case WM_COMMAND: OnCommand(wParam); return FALSE;
    case WM_CLOSE: CloseDialog(); return FALSE;
    }
    return FALSE;
}

UINT RunUninstaller()
{
    if (DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_UNINSTALL), nullptr,
                        UninstallDialogProc, 0) == 0)
        return 0;
    return MessageBoxA(nullptr, "Fatal Error: Can't load resource.", "KVX UnInstallation Error",
                       MB_ICONERROR | MB_OK);
}

// Exit codes of the quiet form: 0 when nothing listed was left.
constexpr UINT QuietLogNotLoaded = 1;
constexpr UINT QuietEnvironmentRunning = 2;  // nothing removed
constexpr UINT QuietFilesLeft = 100;  // plus what was left (files, values, lines, folders), at most 255
constexpr UINT QuietMostLeft = 155;

// No window: the log replayed as the Uninstall button replays it.
UINT RemoveQuietly()
{
    if (!LoadLog()) return QuietLogNotLoaded;
    if (!EnvironmentsClosed(false)) {
        ReleaseLog();
        return QuietEnvironmentRunning;
    }
    DispatchRecord(ReadNextRecord());
    const unsigned left = ReplayLog();
    ReleaseLog();
    if (left == 0) return 0;
    return QuietFilesLeft + (left < QuietMostLeft ? left : QuietMostLeft);
}

}  // namespace

extern "C" void WinMainCRTStartup()
{
    // The command line is only read here; nothing is loaded for it.
    const bool quiet = QuietStart();
    StartSafely(PreloadedDlls, quiet ? nullptr : WindowDlls);
    ExitProcess(quiet ? RemoveQuietly() : RunUninstaller());
}
