// Stand-in for a running development environment: copied as Bin\delphi32.exe
// or Bin\bcb.exe of a simulated environment, it shows a top-level window of
// class "TAppBuilder", captioned by its command line, until that window is
// closed (WM_CLOSE, as the user's close box sends it).
#include <windows.h>

namespace {

LRESULT CALLBACK AppBuilderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
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
