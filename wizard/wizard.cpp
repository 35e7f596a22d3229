#include "wizard.h"

#include <commctrl.h>
#include <shlobj.h>

#include "../engine/catalogue.h"
#include "../engine/failures.h"
#include "../engine/installation.h"
#include "../engine/running.h"
#include "../engine/progress_sink.h"
#include "../engine/templates.h"
#include "checklist.h"
#include "layout.h"
#include "selection.h"
#include "wizard_ids.h"

HINSTANCE ModuleHandle = nullptr;
HWND WizardWindow = nullptr;
std::uint32_t CurrentPage = WelcomePage;

namespace {

HBITMAP PictureBitmap = nullptr;
HANDLE WorkerThread = nullptr;
DWORD WorkerThreadId = 0;
char PageLabel[9] = "Page 1/4";
constexpr int PageDigit = 5;

constexpr char FinishPrompt[] = "Press Finish button.";
constexpr char FinishedWithErrors[] = "\rThe installation finished with errors.";
// Without its log the uninstaller has nothing to remove.
constexpr char FinishedNotRemovable[] =
    "\rThe installation finished with errors.\rOstrevane cannot be removed through\rWindows' list of installed software.";

// Posted once by the worker when the installation has ended, its log
// written: the dialog then moves to page 4 itself.
constexpr UINT InstallationEnded = WM_APP + 1;

BROWSEINFOA FolderBrowseInfo = {
    nullptr,          // hwndOwner: the wizard, set on WM_INITDIALOG
    nullptr,          // pidlRoot: the desktop
    DestinationPath,  // pszDisplayName
    nullptr,          // lpszTitle
    BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_NEWDIALOGSTYLE,
    nullptr,          // lpfn
    0,                // lParam
    0,                // iImage
};

// A page control list entry: the control id in the low half, 0xFFFF in the
// high half to show it, 0 to hide it.
constexpr std::uint32_t Show(int id) { return 0xFFFF0000u | static_cast<std::uint32_t>(id); }
constexpr std::uint32_t Hide(int id) { return static_cast<std::uint32_t>(id); }

constexpr std::uint32_t WelcomeControls[] = {
    Show(IDC_NEXT), Show(IDC_CANCEL), Show(IDC_PICTURE), Show(IDC_MAIN_TEXT),
    Show(IDC_SECOND_TEXT), Show(IDC_THIRD_TEXT), Show(IDC_PAGE_LABEL), Hide(IDC_PROGRESS),
    Hide(IDC_DESTINATION), Hide(IDC_CHECKLIST), Hide(IDC_PREV), Hide(IDC_BROWSE), 0};
constexpr std::uint32_t SelectionControls[] = {
    Show(IDC_NEXT), Show(IDC_CANCEL), Show(IDC_PICTURE), Show(IDC_MAIN_TEXT),
    Hide(IDC_THIRD_TEXT), Show(IDC_PAGE_LABEL), Show(IDC_PREV), Show(IDC_DESTINATION),
    Show(IDC_CHECKLIST), Hide(IDC_PROGRESS), Hide(IDC_SECOND_TEXT), Show(IDC_BROWSE), 0};
constexpr std::uint32_t ProgressControls[] = {
    Hide(IDC_NEXT), Show(IDC_CANCEL), Show(IDC_PICTURE), Show(IDC_MAIN_TEXT),
    Show(IDC_SECOND_TEXT), Show(IDC_THIRD_TEXT), Show(IDC_PROGRESS), Show(IDC_PAGE_LABEL),
    Hide(IDC_DESTINATION), Hide(IDC_CHECKLIST), Hide(IDC_BROWSE), Hide(IDC_PREV), 0};
constexpr std::uint32_t FinishControls[] = {
    Show(IDC_CANCEL), Show(IDC_PICTURE), Show(IDC_MAIN_TEXT), Show(IDC_SECOND_TEXT),
    Show(IDC_THIRD_TEXT), Show(IDC_PAGE_LABEL), Hide(IDC_PROGRESS), Hide(IDC_DESTINATION),
    Hide(IDC_CHECKLIST), Hide(IDC_PREV), Hide(IDC_NEXT), Hide(IDC_BROWSE), 0};

struct WizardPage {
    const std::uint32_t* controls;
    void (*enter)();
};

constexpr WizardPage PageTable[PageCount] = {
    {WelcomeControls, EnterWelcomePage},
    {SelectionControls, EnterSelectionPage},
    {ProgressControls, EnterProgressPage},
    {FinishControls, EnterFinishPage},
};

void SetTexts(const char* main, const char* second, const char* third)
{
    SetDlgItemTextA(WizardWindow, IDC_MAIN_TEXT, main);
    SetDlgItemTextA(WizardWindow, IDC_SECOND_TEXT, second);
    SetDlgItemTextA(WizardWindow, IDC_THIRD_TEXT, third);
}

void AdvancePage()
{
    ++CurrentPage;
    ShowPage();
}

// What the worker reports, shown from its thread: a text or the bar's step
// is sent to the dialog's thread and waits for it; the end is only posted.
void ShowReportedLine(ShownLine line, const char* text)
{
    SetDlgItemTextA(WizardWindow, line == StageLine ? IDC_SECOND_TEXT : IDC_THIRD_TEXT, text);
}

void StepProgress(int amount)
{
    SendDlgItemMessageA(WizardWindow, IDC_PROGRESS, PBM_DELTAPOS, static_cast<WPARAM>(amount), 0);
}

void PostInstallationEnded() { PostMessageA(WizardWindow, InstallationEnded, 0, 0); }

// Nothing may be installed into an environment that runs: it holds its
// packages open and reads their registrations only when it starts.
bool TickedEnvironmentsClosed()
{
    for (;;) {
        const std::uint32_t running = RunningEnvironments(TickedEnvironments());
        if (!running) return true;
        char text[RunningMessageSize];
        ComposeRunningMessage(running, text);
        if (MessageBoxA(WizardWindow, text, "Quillmere presents ...", MB_RETRYCANCEL | MB_ICONEXCLAMATION) != IDRETRY)
            return false;
    }
}

// A destination that cannot be used is refused here, on page 2, before
// anything is written; the user can correct it.
bool DestinationTaken()
{
    const DestinationRefusal refusal = TakeDestinationField();
    if (refusal == DestinationRefusal::None) return true;
    MessageBoxA(WizardWindow, RefusalText(refusal), "Quillmere presents ...", MB_OK | MB_ICONEXCLAMATION);
    SetFocus(GetDlgItem(WizardWindow, IDC_DESTINATION));
    return false;
}

void ReleaseItemList(LPITEMIDLIST list)
{
    IMalloc* shellMalloc = nullptr;
    if (SUCCEEDED(SHGetMalloc(&shellMalloc))) {
        shellMalloc->Free(list);
        shellMalloc->Release();
    }
}

void BrowseForDestination()
{
    // The browser may scribble a display name into the buffer even when the
    // user cancels; the folder proposed so far must survive that.
    char kept[PathSize];
    CopyText(kept, PathSize, DestinationPath);
    LPITEMIDLIST chosen = SHBrowseForFolderA(&FolderBrowseInfo);
    bool taken = false;
    if (chosen) {
        taken = SHGetPathFromIDListA(chosen, DestinationPath) != FALSE;
        ReleaseItemList(chosen);
    }
    if (!taken) CopyText(DestinationPath, PathSize, kept);
    SetDlgItemTextA(WizardWindow, IDC_DESTINATION, DestinationPath);
}

// Cancel, Finish and the close box: asks first, except on the finish page,
// which comes up only once the worker has written the log and ended.
void OnCloseRequest()
{
    if (CurrentPage != FinishPage &&
        MessageBoxA(WizardWindow, "Are you want terminate installation ?", "Quillmere presents ...",
                    MB_YESNO | MB_ICONQUESTION) == IDNO)
        return;
    // While the worker runs (page 3) nothing is released: the process ends
    // under it, and it must never see a released buffer.
    if (CurrentPage != ProgressPage) ReleaseTargets();
    EndDialog(WizardWindow, 0);
}

BOOL OnInitDialog(HWND window)
{
    WizardWindow = window;
    FolderBrowseInfo.hwndOwner = window;
    TheProgressSink = {ShowReportedLine, StepProgress, PostInstallationEnded};
    SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Ostrevane Installation"));
    SetClassLongA(window, GCL_HICON,
                  static_cast<LONG>(reinterpret_cast<LONG_PTR>(LoadIconA(ModuleHandle, MAKEINTRESOURCEA(IDI_WIZARD)))));

    HWND picture = GetDlgItem(window, IDC_PICTURE);
    PictureBitmap = LoadBitmapA(ModuleHandle, MAKEINTRESOURCEA(IDB_PICTURE));
    SendMessageA(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(PictureBitmap));

    WizardCheckList = CheckListAttach(GetDlgItem(window, IDC_CHECKLIST));
    // The folder read back on page 3 is never longer than a path can be, so
    // it is never cut on the way into the engine.
    SendDlgItemMessageA(window, IDC_DESTINATION, EM_LIMITTEXT, PathSize - 1, 0);
    // Its own procedure set again through the Unicode call makes the field a
    // Unicode window: what is typed reaches it unconverted, so that a name the
    // code page cannot spell is seen as such, not as question marks.
    HWND field = GetDlgItem(window, IDC_DESTINATION);
    SetWindowLongPtrW(field, GWLP_WNDPROC, GetWindowLongPtrW(field, GWLP_WNDPROC));
    LayoutWizard();
    ShowPage();
    return TRUE;
}

void OnCommand(WPARAM wParam)
{
    if (HIWORD(wParam) != 0) return;  // only clicks act
    switch (LOWORD(wParam)) {
    case IDC_CANCEL: OnCloseRequest(); break;
    case IDC_NEXT:
        if (CurrentPage == SelectionPage && (!DestinationTaken() || !TickedEnvironmentsClosed())) break;
        AdvancePage();
        break;
    case IDC_PREV:
        --CurrentPage;
        ShowPage();
        break;
    case IDC_BROWSE: BrowseForDestination(); break;
    default: break;  // IDCANCEL from Escape among them
    }
}

}  // namespace

bool RunWizard(HINSTANCE module)
{
    ModuleHandle = module;
    // The dialog always ends with 0; anything else means it never came up.
    const bool shown = DialogBoxParamA(module, MAKEINTRESOURCEA(IDD_WIZARD), nullptr, WizardDialogProc, 0) == 0;
    if (PictureBitmap) DeleteObject(PictureBitmap);
    return shown;
}

void ShowPage()
{
    if (CurrentPage >= PageCount) CurrentPage = FinishPage;
    const std::uint32_t page = CurrentPage;
    PageLabel[PageDigit] = static_cast<char>('1' + page);
    SetDlgItemTextA(WizardWindow, IDC_PAGE_LABEL, PageLabel);
    const WizardPage& row = PageTable[page];
    for (const std::uint32_t* entry = row.controls; *entry; ++entry)
        ShowWindow(GetDlgItem(WizardWindow, LOWORD(*entry)), HIWORD(*entry) ? SW_SHOW : SW_HIDE);
    if (row.enter) row.enter();
}

void EnterWelcomePage()
{
    SetTexts(ProductDescription,
             "This programm will install Ostrevane on your computer\r\rClick NEXT for continue SETUP program.",
             "WARNING: Close all Delphi and CBuilder programs before !!!");
}

void EnterSelectionPage()
{
    SetTexts("Choose that you necessary:", "", "Choose destination path:");
    FillTargetList();
    LayoutSelectionPage();
}

void EnterProgressPage()
{
    SetTexts("\rNow is installations process. Please wait ...", "Progress of installation :", "Current Satus");
    EnableWindow(GetDlgItem(WizardWindow, IDC_CANCEL), FALSE);
    ReadBackChoices();
    WorkerThread = CreateThread(nullptr, 0, ScriptWorker, nullptr, 0, &WorkerThreadId);
    if (!WorkerThread) {
        NoteOverallFailure(InstallNotRun);
        AdvancePage();
    }
}

// The texts follow the log, whose outcome they report.
void EnterFinishPage()
{
    if (WorkerThread) CloseHandle(WorkerThread);
    WorkerThread = nullptr;
    if (!AnyFailure()) {
        SetTexts("\rThe installation process was\r successfully complete !",
                 "Quillmere  Welcome to www.quillmere.example", FinishPrompt);
    } else {
        char list[FailureListSize];
        ComposeFailureList(SecondTextLines(), list, sizeof list);
        SetTexts(TheFailures.overall & LogNotWritten ? FinishedNotRemovable : FinishedWithErrors, list, FinishPrompt);
    }
    SetDlgItemTextA(WizardWindow, IDC_CANCEL, "Finish");
    EnableWindow(GetDlgItem(WizardWindow, IDC_CANCEL), TRUE);
}

INT_PTR CALLBACK WizardDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: return OnInitDialog(window);
    case WM_COMMAND: OnCommand(wParam); return FALSE;
    case WM_CLOSE: OnCloseRequest(); return FALSE;
    case InstallationEnded:
        if (CurrentPage == ProgressPage) AdvancePage();
        return TRUE;
    default: return FALSE;
    }
}
