/* Stand-in for the calculator hook library that ostrevane.res carries as
   HOOKDLL: a valid DLL without imports whose one export reports the version. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

__declspec(dllexport) int WINAPI OstrevaneHookVersion(void)
{
    return 310;
}

BOOL WINAPI OstrevaneHookEntry(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}
