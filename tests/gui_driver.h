#pragma once
// Driving a program's real dialogs from a test: starting it, finding its
// windows, reading controls back and sending the messages a user's input
// produces.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();
    // applicationPath names the file (empty: the first word of commandLine,
    // searched for as Windows does); commandLine is what the program sees;
    // currentFolder, when given, is its current folder.
    bool Start(const std::string& applicationPath, const std::string& commandLine,
               const std::string& currentFolder = "");
    // The exit code, or -1 when the process is still running after ms.
    long Wait(DWORD ms);
    bool Running() const;
    // Ends the process at once and waits for its end.
    void Terminate();
    DWORD Id() const { return info_.dwProcessId; }
    HANDLE Handle() const { return info_.hProcess; }
    HANDLE MainThread() const { return info_.hThread; }

private:
    PROCESS_INFORMATION info_{};
};

// Dispatches every message waiting for this thread's windows.
void PumpMessages();
// Polls until done() holds or ms pass; pumps this thread's messages meanwhile.
bool WaitUntil(const std::function<bool()>& done, DWORD ms = 10000);

// The visible top-level window of process pid (0: of any process) with this
// caption (class may be null).
HWND FindProcessWindow(DWORD pid, const char* caption, const char* className = nullptr);
HWND WaitForWindow(DWORD pid, const char* caption, DWORD ms = 10000, const char* className = nullptr);

// A visible top-level window of process pid owned by owner, such as a dialog it opened.
HWND FindOwnedWindow(DWORD pid, HWND owner);

std::string WindowText(HWND window);
// The text a message box shows.
std::string MessageBoxText(HWND box);
std::string ItemText(HWND dialog, int id);
bool ItemVisible(HWND dialog, int id);
bool ItemEnabled(HWND dialog, int id);
// A control's rectangle in its dialog's client coordinates.
RECT ItemRect(HWND dialog, int id);

// A click on a push button as the user's click arrives: BM_CLICK to the
// button, sent from a thread of its own. Returns once the click has been
// handled or a window the dialog owns (a message box) has opened, so a modal
// loop the click opens does not block the test. False, with nothing sent,
// where a user's click could not reach the button: the button hidden,
// disabled or covered at its centre, or the dialog itself disabled (a modal
// window is open over it) or hidden.
bool Click(HWND dialog, int id);
// The same click posted: returns at once, while the click is still queued.
bool PostClick(HWND dialog, int id);
// A key pressed and released, posted to the window of target's thread that
// has the keyboard focus (target itself when none has), as the keyboard does.
void PressKey(HWND target, UINT key);
// Replaces an edit's text by typing it.
void TypeText(HWND edit, const std::string& text);

// The ids of the dialog's children from the top of the z-order down.
std::vector<int> ZOrder(HWND dialog);
// The ids of the tab stops in tab order, starting at the first one.
std::vector<int> TabOrder(HWND dialog);

// The part of the screen under the window, saved as a 24-bit BMP.
bool SaveWindowPicture(HWND window, const std::string& path);
