#include "safe_start.h"

#include <windows.h>

#include "../engine/templates.h"

namespace {

// Loaded later by bare name: by the common controls and their themes, the
// shell's folder browser and the COM it starts, the compatibility layer of an
// elevated start, and the access-list functions. Loaded first from the system
// folder, each is then found loaded instead of searched for beside the program.
// comctl32 comes first: the wizard needs it, and it is no known DLL.
constexpr const char* PreloadedDlls[] = {
    "comctl32", "uxtheme", "version", "dwmapi", "oleacc", "propsys", "clbcatq", "userenv",
    "profapi", "setupapi", "apphelp", "cryptbase", "ntmarta", "shfolder", "sspicli",
};

HMODULE LoadFromSystemFolder(const char* name)
{
    char path[MAX_PATH];
    const UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || !AppendText(path, MAX_PATH, "\\") ||
        !AppendText(path, MAX_PATH, name) || !AppendText(path, MAX_PATH, ".dll"))
        return nullptr;
    // Its own imports are searched from its folder first.
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

void StartSafely()
{
    // Looked up, not imported: Windows without them still starts the program.
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    using SetDefaultDirectories = BOOL(WINAPI*)(DWORD);
    using SetDirectory = BOOL(WINAPI*)(LPCSTR);
    if (auto setDefault = reinterpret_cast<SetDefaultDirectories>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories"))))
        setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (auto setDirectory = reinterpret_cast<SetDirectory>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryA"))))
        setDirectory("");  // not the current folder

    HMODULE controls = nullptr;
    for (const char* name : PreloadedDlls) {
        HMODULE module = LoadFromSystemFolder(name);
        if (!controls) controls = module;
    }
    using InitControls = void(WINAPI*)();
    if (auto init = reinterpret_cast<InitControls>(
            reinterpret_cast<void*>(controls ? GetProcAddress(controls, "InitCommonControls") : nullptr)))
        init();
}
