#pragma once
// kvxpurge driven as a user meets it: the real program started with a log on
// its command line, its dialog read and clicked through window messages.
// Shared by the uninstaller's test sources.
#include <windows.h>

#include <string>

#include "../uninstaller/resource.h"

#include "drive_kit.h"
#include "gui_driver.h"

constexpr char DialogCaption[] = "Uninstall - Quillmere";
constexpr char HeadlineText[] = "Uninstall v2.07\rCopyright (c) 1999-2004 Quillmere Software";
constexpr char WrongStartText[] = "Wrong start !!! Don't use manually !!!";
constexpr char ReadyText[] = "Press the <Uninstall> button for start the removing:";
constexpr char Product[] =
    "Ostrevane component version 3.10 (trial)\rCopyright (c) 2004 Quillmere Software\r\r"
    "Delphi/CBuilder component for handling standard Windows calculator";

constexpr char TestFolderName[] = "kvx purge";  // with a blank, as an install folder may have

inline std::string Kvxpurge() { return KitFolder() + "\\kvxpurge.exe"; }

// One record of a log: its type byte, its text and the NUL.
std::string Record(unsigned char type, const std::string& text);
// Writes the file; a failure to write fails the test at the caller's line.
void WriteBytes(const std::string& path, const std::string& bytes, const char* file = __builtin_FILE(),
                int line = __builtin_LINE());
// The command line of earlier kits: the bare name, a blank, the log's path.
std::string CommandFor(const std::string& logPath);

// One run of kvxpurge and its dialog. Every wait is a bounded poll.
class Uninstaller {
public:
    // commandLine is what the program sees; program is the file started.
    explicit Uninstaller(const std::string& commandLine, const std::string& program = Kvxpurge(),
                         const std::string& folder = "")
    {
        if (process_.Start(program, commandLine, folder))
            dialog_ = WaitForWindow(process_.Id(), DialogCaption, 10000, "#32770");
    }

    bool Shown() const { return dialog_ != nullptr; }
    HWND Dialog() const { return dialog_; }
    DWORD Id() const { return process_.Id(); }
    HWND Item(int id) const { return GetDlgItem(dialog_, id); }
    std::string Text(int id) const { return ItemText(dialog_, id); }
    // Read from the window itself, without a message: answers while the dialog is busy.
    std::string StoredText(int id) const
    {
        char text[1024] = "<unset>";
        GetWindowTextA(Item(id), text, sizeof text);
        return text;
    }
    bool Visible(int id) const { return ItemVisible(dialog_, id); }
    bool Enabled(int id) const { return ItemEnabled(dialog_, id); }
    LRESULT Progress(UINT message, WPARAM wParam = 0) const
    {
        return SendDlgItemMessageA(dialog_, IDC_PROGRESS, message, wParam, 0);
    }
    // The replay runs inside the click's handling, so it is over when this
    // returns, unless the click opened a message box.
    bool Click(int id) const { return ::Click(dialog_, id); }
    void Send(UINT message, WPARAM wParam, LPARAM lParam = 0) const
    {
        SendMessageA(dialog_, message, wParam, lParam);
    }
    HANDLE MainThread() const { return process_.MainThread(); }

    // The exit code once the process has ended, or -1 while it still runs.
    long ExitCode(DWORD waitMs = 5000) { return process_.Wait(waitMs); }

private:
    ChildProcess process_;
    HWND dialog_ = nullptr;
};

// The texts and control states of one of the four states.
struct DialogState {
    const char* name;
    std::string headline, stage, status;
    bool progressVisible, uninstallVisible, uninstallEnabled;
    std::string closeText;
};

// Expects the dialog in state; a failure names the caller's line.
#define EXPECT_STATE(run, state) ExpectState(__FILE__, __LINE__, run, state)
void ExpectState(const char* file, int line, const Uninstaller& run, const DialogState& state);
DialogState WrongStart(const std::string& tried);
DialogState Ready(const std::string& headline, const std::string& logPath);
DialogState Finished(const std::string& headline);
