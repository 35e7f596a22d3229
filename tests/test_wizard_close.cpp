// The wizard's close path in this process, where the moment of a close
// request can be chosen: a request queued behind the worker's end is taken
// on the finish page, after the log; one that arrives while the worker runs
// leaves it what it uses.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <functional>
#include <string>

#include "catalogue.h"
#include "gui_driver.h"
#include "installation.h"
#include "progress_sink.h"
#include "simulated_ide.h"
#include "templates.h"
#include "uninstall_log.h"
#include "wizard.h"
#include "wizard_ids.h"

namespace {

TEST(WizardClose, ARequestBehindTheWorkersEndClosesOnTheFinishPageAfterTheLog)
{
    InitCommonControls();
    ASSERT_TRUE(AllocateEngineBuffers());
    ModuleHandle = GetModuleHandleA(nullptr);
    HWND dialog = CreateDialogParamA(ModuleHandle, MAKEINTRESOURCEA(IDD_WIZARD), nullptr, WizardDialogProc, 0);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(WizardWindow, dialog);

    const std::string folder = TestFolder("ostrevane-close");
    const std::string log = folder + "\\uninst.kvx";
    ASSERT_TRUE(OpenLog(log.c_str()));
    AppendRecord(ProductText, ProductDescription);

    // The worker runs on page 3; the close box is clicked just as it ends.
    CurrentPage = ProgressPage;
    EndInstallation();  // as the worker ends: the log first,
    ReportEnded();      // then the end, posted
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    EXPECT_EQ(CurrentPage, ProgressPage) << "the pages change on the dialog's thread only";
    EXPECT_TRUE(FileExists(log));
    EXPECT_EQ(ReadFileText(log), std::string("\x01") + ProductDescription + std::string(1, '\0'));
    char button[32] = "";
    GetDlgItemTextA(dialog, IDC_CANCEL, button, sizeof button);
    EXPECT_STRNE(button, "Finish");
    PumpMessages();  // the end moves to page 4, whose close request asks nothing
    EXPECT_EQ(CurrentPage, FinishPage);
    GetDlgItemTextA(dialog, IDC_CANCEL, button, sizeof button);
    EXPECT_STREQ(button, "Finish");
    EXPECT_EQ(FindWindowA(nullptr, "Quillmere presents ..."), nullptr) << "no question on the finish page";
    EXPECT_FALSE(IsWindowVisible(dialog)) << "the close request ended the dialog once the log was written";
    EXPECT_EQ(TemplateBuffer, nullptr) << "and released the engine's buffers";
    DestroyWindow(dialog);
    RemoveTree(folder);
}

// The worker sends to the dialog: this thread keeps its messages moving.
bool PumpUntil(const std::function<bool()>& done, DWORD ms)
{
    for (const DWORD start = GetTickCount(); !done(); Sleep(20)) {
        PumpMessages();
        if (GetTickCount() - start > Scaled(ms)) return false;
    }
    return true;
}

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info)
{
    std::fprintf(stderr, "the worker crashed: exception %08lx\n", info->ExceptionRecord->ExceptionCode);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

// The user's Yes, given from another thread while the box holds this one.
DWORD WINAPI AnswerYes(LPVOID)
{
    for (const DWORD start = GetTickCount(); GetTickCount() - start < Scaled(10000); Sleep(20)) {
        HWND box = FindWindowA(nullptr, "Quillmere presents ...");
        DWORD process = 0;
        if (box) GetWindowThreadProcessId(box, &process);
        if (box && process == GetCurrentProcessId()) {
            PostMessageA(GetDlgItem(box, IDYES), BM_CLICK, 0, 0);
            return 0;
        }
    }
    return 1;
}

// Closed while its worker waits on a tool, the dialog ends at once; the
// worker, let go only after that, still finds the engine's buffers: in the
// program, the process's end may come before its next step or after it.
TEST(WizardClose, AWorkerStillRunningAfterTheCloseKeepsItsBuffers)
{
    SetUnhandledExceptionFilter(ReportCrash);
    const std::string folder = TestFolder("ostrevane-close-running");
    const std::string ide = CreateSimulatedIde(SimulatedIdes[4], folder);
    const std::string home = folder + "\\Home";
    HoldTool(ide, "dcc32");
    ASSERT_TRUE(AllocateEngineBuffers());
    ModuleHandle = GetModuleHandleA(nullptr);
    CurrentPage = WelcomePage;
    HWND dialog = CreateDialogParamA(ModuleHandle, MAKEINTRESOURCEA(IDD_WIZARD), nullptr, WizardDialogProc, 0);
    ASSERT_NE(dialog, nullptr);
    SendMessageA(GetDlgItem(dialog, IDC_NEXT), BM_CLICK, 0, 0);
    SetDlgItemTextA(dialog, IDC_DESTINATION, home.c_str());
    SendMessageA(GetDlgItem(dialog, IDC_NEXT), BM_CLICK, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return ToolWaiting(ide, "dcc32"); }, 30000));

    HANDLE answer = CreateThread(nullptr, 0, AnswerYes, nullptr, 0, nullptr);
    SendMessageA(dialog, WM_CLOSE, 0, 0);
    DWORD answered = 1;
    WaitForSingleObject(answer, INFINITE);
    GetExitCodeThread(answer, &answered);
    CloseHandle(answer);
    EXPECT_EQ(answered, 0u) << "the close question came up";
    EXPECT_FALSE(IsWindowVisible(dialog)) << "Yes ends the dialog";

    ReleaseTool(ide, "dcc32");
    char button[32] = "";
    EXPECT_TRUE(PumpUntil([&] {
        GetDlgItemTextA(dialog, IDC_CANCEL, button, sizeof button);
        return std::string(button) == "Finish";
    }, 30000)) << "the worker ran on to the finish page";
    EXPECT_EQ(ReadFileText(home + "\\Delphi7\\ovanlibd7.bpl"), "dcc32 built ovanlibd7.bpl from ovanlibd7.dpk\r\n");
    EXPECT_NE(ReadFileText(home + "\\uninst.kvx").find(" Files for Borland Delphi 7"), std::string::npos);

    DestroyWindow(dialog);
    RemoveSimulatedIdeKeys();
    DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Quillmere");
    DeleteTree(HKEY_LOCAL_MACHINE, ListEntryKey);
    char sys[MAX_PATH] = "";
    GetSystemDirectoryA(sys, MAX_PATH);
    for (const char* file : {"kvxpurge.exe", "ovanlibd7.bpl"}) DeleteFileA((std::string(sys) + "\\" + file).c_str());
    RemoveTree(folder);
}

}  // namespace
