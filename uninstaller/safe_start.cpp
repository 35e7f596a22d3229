#include "safe_start.h"

#include <windows.h>

#include "bounded_text.h"

namespace {

// Loaded later by bare name: by the common controls and their themes, and by
// the compatibility layer of an elevated start. Loaded first from the system
// folder, each is then found loaded instead of searched for beside the log or
// the program. comctl32, which the dialog needs and which is no known DLL,
// comes first. Names end with an empty one.
constexpr char WindowDlls[] = "comctl32\0uxtheme\0dwmapi\0oleacc\0";
constexpr char PreloadedDlls[] = "version\0userenv\0profapi\0apphelp\0cryptbase\0sspicli\0";

HMODULE LoadFromSystemFolder(const char* name)
{
    char path[MAX_PATH];
    const UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || !AppendText(path, MAX_PATH, "\\") ||
        !AppendText(path, MAX_PATH, name) || !AppendText(path, MAX_PATH, ".dll"))
        return nullptr;
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

FARPROC KernelFunction(const char* name) { return GetProcAddress(GetModuleHandleA("kernel32.dll"), name); }

// Loads each of names from the system folder; the first one's module.
HMODULE Preload(const char* names)
{
    HMODULE first = nullptr;
    for (const char* name = names; *name;) {
        HMODULE module = LoadFromSystemFolder(name);
        if (!first) first = module;
        while (*name++) {}
    }
    return first;
}

}  // namespace

void StartSafely(bool window)
{
    // Looked up, not imported: Windows without them still starts the program.
    if (FARPROC setDefault = KernelFunction("SetDefaultDllDirectories"))
        reinterpret_cast<BOOL(WINAPI*)(DWORD)>(reinterpret_cast<void*>(setDefault))(LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (FARPROC setDirectory = KernelFunction("SetDllDirectoryA"))
        reinterpret_cast<BOOL(WINAPI*)(LPCSTR)>(reinterpret_cast<void*>(setDirectory))("");

    Preload(PreloadedDlls);
    if (!window) return;
    HMODULE controls = Preload(WindowDlls);
    FARPROC init = controls ? GetProcAddress(controls, "InitCommonControls") : nullptr;
    if (init) reinterpret_cast<void(WINAPI*)()>(reinterpret_cast<void*>(init))();
}
