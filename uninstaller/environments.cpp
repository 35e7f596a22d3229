#include "environments.h"

#include <windows.h>

#include <tlhelp32.h>

#include "bounded_text.h"
#include "log_reader.h"
#include "log_replay.h"

namespace {

constexpr unsigned MaxNamed = 9;
constexpr unsigned MessageSize = MaxNamed * (EnvironmentNameSize + 2) + 96;
constexpr char AnyEnvironment[] = "Delphi or C++Builder";
constexpr DWORD QueryLimitedInformation = 0x1000;  // PROCESS_QUERY_LIMITED_INFORMATION, Vista on

using QueryImageNameFunction = BOOL(WINAPI*)(HANDLE, DWORD, LPSTR, PDWORD);
using SnapshotFunction = HANDLE(WINAPI*)(DWORD, DWORD);
using ModuleFirstFunction = BOOL(WINAPI*)(HANDLE, MODULEENTRY32*);

void* KernelFunction(const char* name)
{
    return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), name));
}

// The program file of the window's process into path (PathSize bytes); false
// when it cannot be told (before Vista through the tool help functions).
bool ProgramFileOf(HWND window, char* path)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    bool told = false;
    if (const auto query = reinterpret_cast<QueryImageNameFunction>(KernelFunction("QueryFullProcessImageNameA"))) {
        HANDLE process = OpenProcess(QueryLimitedInformation, FALSE, pid);
        if (!process) process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
        DWORD size = PathSize;
        told = process && query(process, 0, path, &size) && size > 0 && size < PathSize;
        if (process) CloseHandle(process);
        return told;
    }
    const auto snapshot = reinterpret_cast<SnapshotFunction>(KernelFunction("CreateToolhelp32Snapshot"));
    const auto first = reinterpret_cast<ModuleFirstFunction>(KernelFunction("Module32First"));
    if (!snapshot || !first) return false;
    HANDLE modules = snapshot(TH32CS_SNAPMODULE, pid);
    if (modules == INVALID_HANDLE_VALUE) return false;
    MODULEENTRY32 entry;
    entry.dwSize = sizeof entry;
    told = first(modules, &entry) && CopyText(path, PathSize, entry.szExePath);
    CloseHandle(modules);
    return told;
}

// True when program lies directly in the Bin folder of rootFolder; program
// is cut to its folder.
bool InBinFolder(char* program, const char* rootFolder)
{
    char bin[PathSize];
    if (!CopyText(bin, PathSize, rootFolder)) return false;
    // Walked by character: a double-byte character's second byte may be a backslash.
    char* trailing = nullptr;
    for (char* p = bin; *p; p = CharNextA(p))
        if (AtSeparator(p)) {
            if (!trailing) trailing = p;
        } else {
            trailing = nullptr;
        }
    if (trailing) *trailing = 0;
    char* last = program;
    for (char* p = program; *p; p = CharNextA(p))
        if (AtSeparator(p)) last = p;
    *last = 0;
    return bin[0] && AppendText(bin, PathSize, "\\Bin") && lstrcmpiA(program, bin) == 0;
}

// True when a "TAppBuilder" window runs from the Bin folder of rootFolder, or
// from a file that cannot be told; any such window when rootFolder is null.
bool AppBuilderRuns(const char* rootFolder)
{
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, "TAppBuilder", nullptr)) != nullptr;) {
        char program[PathSize];
        if (!rootFolder || !ProgramFileOf(window, program) || InBinFolder(program, rootFolder)) return true;
    }
    return false;
}

// The folder in the environment's "RootDir" under HKLM into rootFolder
// (PathSize bytes); the empty text when it cannot be read.
void ReadRootFolder(const char* key, char* rootFolder)
{
    HKEY environment;
    DWORD size = PathSize - 1, type = 0;
    bool read = false;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, &environment) == ERROR_SUCCESS) {
        read = RegQueryValueExA(environment, "RootDir", nullptr, &type, reinterpret_cast<BYTE*>(rootFolder), &size) ==
                   ERROR_SUCCESS && type == REG_SZ;
        RegCloseKey(environment);
    }
    rootFolder[read ? size : 0] = 0;
}

// The names of the running environments the log names, each once; their
// count. Without its folder an environment is told only by a window whose
// program file cannot be told.
unsigned RunningNamed(char (*names)[EnvironmentNameSize], bool* logNamesAny)
{
    unsigned count = 0;
    *logNamesAny = false;
    char key[PathSize], rootFolder[PathSize];
    // The records the replay will read, without moving it.
    const char* const replayAt = readPosition;
    readPosition = logData;
    for (int type; (type = ReadNextRecord()) != 0;) {
        if (type != UserKeyOpen || !EnvironmentKeyOf(currentText, key)) continue;
        *logNamesAny = true;
        if (count == MaxNamed) continue;
        ReadRootFolder(key, rootFolder);
        if (!AppBuilderRuns(rootFolder)) continue;
        EnvironmentNameOf(key, names[count]);
        bool seen = false;
        for (unsigned i = 0; i < count; ++i) seen |= lstrcmpiA(names[i], names[count]) == 0;
        if (!seen) ++count;
    }
    readPosition = replayAt;
    return count;
}

}  // namespace

bool EnvironmentsClosed(bool ask)
{
    if (!logData) return true;
    for (;;) {
        char names[MaxNamed][EnvironmentNameSize];
        bool logNamesAny;
        unsigned count = RunningNamed(names, &logNamesAny);
        if (!logNamesAny && AppBuilderRuns(nullptr)) {
            CopyText(names[0], EnvironmentNameSize, AnyEnvironment);
            count = 1;
        }
        if (count == 0) return true;
        if (!ask) return false;
        char text[MessageSize];
        text[0] = 0;
        for (unsigned i = 0; i < count; ++i) {
            if (i > 0) AppendText(text, MessageSize, i + 1 == count ? " and " : ", ");
            AppendText(text, MessageSize, names[i]);
        }
        AppendText(text, MessageSize,
                   count == 1 ? " is running and must be closed first.\nClose it, then press Retry."
                              : " are running and must be closed first.\nClose them, then press Retry.");
        if (MessageBoxA(DialogWindow, text, "Uninstall - Quillmere", MB_RETRYCANCEL | MB_ICONEXCLAMATION) != IDRETRY)
            return false;
    }
}
