#include <windows.h>

#include "../engine/templates.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    if (AllocateEngineBuffers()) ReleaseEngineBuffers();
    ExitProcess(0);
}
