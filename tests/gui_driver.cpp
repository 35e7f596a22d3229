#include "gui_driver.h"

#include "test_files.h"

ChildProcess::~ChildProcess()
{
    if (info_.hProcess) {
        if (Running()) TerminateProcess(info_.hProcess, 99);
        CloseHandle(info_.hProcess);
        CloseHandle(info_.hThread);
    }
}

bool ChildProcess::Start(const std::string& applicationPath, const std::string& commandLine,
                         const std::string& currentFolder)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string line = commandLine;
    return CreateProcessA(applicationPath.empty() ? nullptr : applicationPath.c_str(), &line[0], nullptr, nullptr,
                          FALSE, 0, nullptr, currentFolder.empty() ? nullptr : currentFolder.c_str(), &startup,
                          &info_) != FALSE;
}

long ChildProcess::Wait(DWORD ms)
{
    if (!info_.hProcess || WaitForSingleObject(info_.hProcess, Scaled(ms)) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return static_cast<long>(code);
}

void ChildProcess::Terminate()
{
    if (Running() && TerminateProcess(info_.hProcess, 99)) WaitForSingleObject(info_.hProcess, Scaled(10000));
}

bool ChildProcess::Running() const
{
    return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

void PumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

bool WaitUntil(const std::function<bool()>& done, DWORD ms)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (GetTickCount() - start > Scaled(ms)) return false;
        PumpMessages();
        Sleep(20);
    }
}

namespace {
struct WindowQuery {
    DWORD pid;
    const char* caption;
    const char* className;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param)
{
    auto* query = reinterpret_cast<WindowQuery*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if ((query->pid && pid != query->pid) || !IsWindowVisible(window)) return TRUE;
    if (WindowText(window) != query->caption) return TRUE;
    if (query->className) {
        char name[64] = "";
        GetClassNameA(window, name, sizeof name);
        if (lstrcmpA(name, query->className) != 0) return TRUE;
    }
    query->found = window;
    return FALSE;
}
}  // namespace

HWND FindProcessWindow(DWORD pid, const char* caption, const char* className)
{
    WindowQuery query{pid, caption, className, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

HWND WaitForWindow(DWORD pid, const char* caption, DWORD ms, const char* className)
{
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindProcessWindow(pid, caption, className)) != nullptr; }, ms);
    return found;
}

namespace {
struct OwnedQuery {
    DWORD pid;
    HWND owner, found;
};

BOOL CALLBACK MatchOwned(HWND window, LPARAM param)
{
    auto* q = reinterpret_cast<OwnedQuery*>(param);
    DWORD windowPid = 0;
    GetWindowThreadProcessId(window, &windowPid);
    if (windowPid != q->pid || !IsWindowVisible(window) || GetWindow(window, GW_OWNER) != q->owner) return TRUE;
    q->found = window;
    return FALSE;
}
}  // namespace

HWND FindOwnedWindow(DWORD pid, HWND owner)
{
    OwnedQuery query{pid, owner, nullptr};
    EnumWindows(MatchOwned, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

std::string WindowText(HWND window)
{
    char text[4096] = "";
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, Scaled(5000),
                             &length))
        return "<no answer>";
    return std::string(text, length);
}

std::string MessageBoxText(HWND box) { return ItemText(box, 0xFFFF); }
std::string ItemText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }
bool ItemVisible(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE; }
bool ItemEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

RECT ItemRect(HWND dialog, int id)
{
    RECT rc{};
    GetWindowRect(GetDlgItem(dialog, id), &rc);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

namespace {

// The button a user's click at its centre would reach, or null. Wine's
// BM_CLICK presses a disabled or hidden button all the same, so the test of
// what a user can reach is made here.
HWND ReachableButton(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    if (!button || !IsWindowVisible(dialog) || !IsWindowEnabled(dialog)) return nullptr;
    RECT rc{};
    GetWindowRect(button, &rc);
    POINT centre{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    ScreenToClient(dialog, &centre);
    HWND under = ChildWindowFromPointEx(dialog, centre, CWP_SKIPINVISIBLE | CWP_SKIPDISABLED | CWP_SKIPTRANSPARENT);
    return under == button ? button : nullptr;
}

DWORD WINAPI SendClick(void* button)
{
    SendMessageA(static_cast<HWND>(button), BM_CLICK, 0, 0);
    return 0;
}

}  // namespace

bool Click(HWND dialog, int id)
{
    HWND button = ReachableButton(dialog, id);
    if (!button) return false;
    DWORD pid = 0;
    GetWindowThreadProcessId(dialog, &pid);
    HANDLE sender = CreateThread(nullptr, 0, SendClick, button, 0, nullptr);
    if (!sender) return false;
    WaitUntil([&] { return WaitForSingleObject(sender, 0) == WAIT_OBJECT_0 || FindOwnedWindow(pid, dialog); }, 30000);
    CloseHandle(sender);  // a sender held by a modal loop ends with it
    return true;
}

bool PostClick(HWND dialog, int id)
{
    HWND button = ReachableButton(dialog, id);
    return button && PostMessageA(button, BM_CLICK, 0, 0);
}

void PressKey(HWND target, UINT key)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(target, nullptr), &info) && info.hwndFocus) target = info.hwndFocus;
    const UINT scan = MapVirtualKeyA(key, 0);
    PostMessageA(target, WM_KEYDOWN, key, 1 | (scan << 16));
    PostMessageA(target, WM_KEYUP, key, 1 | (scan << 16) | 0xC0000000u);
}

void TypeText(HWND edit, const std::string& text)
{
    SendMessageA(edit, EM_SETSEL, 0, -1);
    SendMessageA(edit, WM_CHAR, VK_BACK, 1);
    for (char c : text) SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
}

std::vector<int> ZOrder(HWND dialog)
{
    std::vector<int> ids;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        ids.push_back(GetDlgCtrlID(child));
    return ids;
}

std::vector<int> TabOrder(HWND dialog)
{
    std::vector<int> ids;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (GetWindowLongA(child, GWL_STYLE) & WS_TABSTOP) ids.push_back(GetDlgCtrlID(child));
    return ids;
}

bool SaveWindowPicture(HWND window, const std::string& path)
{
    RECT rc{};
    GetWindowRect(window, &rc);
    const int width = rc.right - rc.left, height = rc.bottom - rc.top;
    if (width <= 0 || height <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP picture = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, picture);
    BitBlt(memory, 0, 0, width, height, screen, rc.left, rc.top, SRCCOPY);
    GdiFlush();
    const DWORD stride = ((width * 3) + 3) & ~3u;
    const DWORD imageSize = stride * height;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + imageSize;
    bool ok = false;
    HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        ok = WriteFile(out, &file, sizeof file, &written, nullptr) &&
             WriteFile(out, &info.bmiHeader, sizeof info.bmiHeader, &written, nullptr) &&
             WriteFile(out, bits, imageSize, &written, nullptr);
        CloseHandle(out);
    }
    SelectObject(memory, old);
    DeleteObject(picture);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}
