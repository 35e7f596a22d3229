// Stand-in for a running development environment: copied as Bin\delphi32.exe
// or Bin\bcb.exe of a simulated environment, it shows a top-level window of
// class "TAppBuilder", captioned by its command line, until that window is
// closed (WM_CLOSE, as the user's close box sends it). With "/hidden" on its
// command line it has no window at all, as an environment that is starting or
// runs in another session: it writes "<its program file>.started" and waits
// until it is ended.
#include <windows.h>

#include <cstring>

namespace {

LRESULT CALLBACK AppBuilderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    if (const char* found = commandLine; (found = strstr(found, "/hidden")) != nullptr) {
        char started[MAX_PATH + 8];
        const DWORD length = GetModuleFileNameA(nullptr, started, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) return 1;
        lstrcatA(started, ".started");
        HANDLE file = CreateFileA(started, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return 1;
        CloseHandle(file);
        Sleep(INFINITE);
    }
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = AppBuilderProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "TAppBuilder";
    if (!RegisterClassA(&windowClass)) return 1;
    if (!CreateWindowA("TAppBuilder", commandLine, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 320, 80, nullptr, nullptr,
                       instance, nullptr))
        return 1;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}
