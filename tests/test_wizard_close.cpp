// The wizard's close path in this process, where the moment of a close
// request can be chosen: a request that arrives while the finish page is
// still writing the log waits for the log.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "catalogue.h"
#include "interpreter.h"
#include "simulated_ide.h"
#include "templates.h"
#include "uninstall_log.h"
#include "wizard.h"

namespace {

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

TEST(WizardClose, ARequestDuringTheFinishPageWaitsForTheLog)
{
    InitCommonControls();
    ASSERT_TRUE(AllocateEngineBuffers());
    ModuleHandle = GetModuleHandleA(nullptr);
    HWND dialog = CreateDialogParamA(ModuleHandle, MAKEINTRESOURCEA(1), nullptr, WizardDialogProc, 0);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(WizardWindow, dialog);

    const std::string folder = TestFolder("ostrevane-close");
    const std::string log = folder + "\\uninst.kvx";
    ASSERT_TRUE(OpenLog(log.c_str()));
    AppendRecord(ProductText, ProductDescription);

    // The worker has moved to page 4 and is about to write the log.
    CurrentPage = 3;
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    Pump();
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_TRUE(IsWindowVisible(dialog)) << "the dialog must not end before the log is written";
    EXPECT_FALSE(FileExists(log));
    EXPECT_NE(TemplateBuffer, nullptr) << "nothing released yet";

    EnterFinishPage();  // as the worker runs it
    EXPECT_TRUE(FileExists(log));
    EXPECT_EQ(ReadFileText(log), std::string("\x01") + ProductDescription + std::string(1, '\0'));
    char button[32] = "";
    GetDlgItemTextA(dialog, 203, button, sizeof button);
    EXPECT_STREQ(button, "Finish");
    Pump();  // the deferred request is taken up again
    EXPECT_FALSE(IsWindowVisible(dialog)) << "the close request ended the dialog once the log was written";
    EXPECT_EQ(TemplateBuffer, nullptr) << "and released the engine's buffers";
    DestroyWindow(dialog);
    RemoveTree(folder);
}

}  // namespace
