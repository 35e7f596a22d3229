#pragma once
// An elevated program's first work: DLLs come from the system folder only.
// Win32 by nature; no C runtime, so kvxpurge compiles it too.
#include <windows.h>

#include "path_text.h"

namespace safe_start {

// The DLL file (name and extension) from the system folder; its own imports
// are searched from its folder, the system folder, first.
inline HMODULE LoadFileFromSystemFolder(const char* file, const char* extension = "")
{
    char path[MAX_PATH];
    const UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || !AppendPathText(path, MAX_PATH, "\\") ||
        !AppendPathText(path, MAX_PATH, file) || !AppendPathText(path, MAX_PATH, extension))
        return nullptr;
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

inline HMODULE LoadFromSystemFolder(const char* name) { return LoadFileFromSystemFolder(name, ".dll"); }

inline FARPROC KernelFunction(const char* name) { return GetProcAddress(GetModuleHandleA("kernel32.dll"), name); }

// Loads each of names from the system folder; the first one's module.
inline HMODULE Preload(const char* names)
{
    HMODULE first = nullptr;
    for (const char* name = names; *name;) {
        HMODULE module = LoadFromSystemFolder(name);
        if (!first) first = module;
        while (*name++) {}
    }
    return first;
}

}  // namespace safe_start

// Takes the current folder and the program's own folder out of the DLL
// search, then loads from the system folder the DLLs that system code loads
// later by bare name, so that each is found loaded instead of searched for
// beside the program or a file it opens. dlls and windowDlls are lists of
// names without ".dll", each closed by its NUL, the list by an empty name.
// windowDlls, for a program that shows a window, begin with comctl32 (the
// dialogs need it, and it is no known DLL), whose control classes are then
// registered; without them (null) none of them is ever loaded. Called before
// anything else.
inline void StartSafely(const char* dlls, const char* windowDlls)
{
    using namespace safe_start;
    // Looked up, not imported: Windows without them still starts the program.
    if (FARPROC setDefault = KernelFunction("SetDefaultDllDirectories"))
        reinterpret_cast<BOOL(WINAPI*)(DWORD)>(reinterpret_cast<void*>(setDefault))(LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (FARPROC setDirectory = KernelFunction("SetDllDirectoryA"))
        reinterpret_cast<BOOL(WINAPI*)(LPCSTR)>(reinterpret_cast<void*>(setDirectory))("");  // not the current folder

    Preload(dlls);
    if (!windowDlls) return;
    HMODULE controls = Preload(windowDlls);
    FARPROC init = controls ? GetProcAddress(controls, "InitCommonControls") : nullptr;
    if (init) reinterpret_cast<void(WINAPI*)()>(reinterpret_cast<void*>(init))();
}
