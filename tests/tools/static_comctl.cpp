// A program that imports comctl32 the ordinary way, statically: the loader
// takes a comctl32.dll lying beside it.
#include <windows.h>

#include <commctrl.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    InitCommonControls();
    return 0;
}
