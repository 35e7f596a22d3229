// A DLL an attacker would leave beside a downloaded program, under a system
// DLL's name: when loaded, it writes "planted.txt" beside itself.
#include <windows.h>

extern "C" __declspec(dllexport) void WINAPI InitCommonControls() {}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
    while (length && path[length - 1] != '\\') --length;
    if (length == 0 || length + 12 > MAX_PATH) return TRUE;
    lstrcpyA(path + length, "planted.txt");
    HANDLE marker = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker != INVALID_HANDLE_VALUE) {
        // "program <- dll" for each load.
        char line[2 * MAX_PATH + 8];
        DWORD size = GetModuleFileNameA(nullptr, line, MAX_PATH);
        lstrcpyA(line + size, " <- ");
        size += 4;
        size += GetModuleFileNameA(self, line + size, MAX_PATH);
        line[size++] = '\n';
        DWORD written;
        WriteFile(marker, line, size, &written, nullptr);
        CloseHandle(marker);
    }
    return TRUE;
}
