#include "environments.h"

#include <windows.h>

#include <tlhelp32.h>

#include "bounded_text.h"
#include "log_records.h"
#include "log_replay.h"
#include "ownership_rules.h"
#include "user_texts.h"

namespace {

constexpr unsigned MaxNamed = 9;
constexpr unsigned MessageSize = MaxNamed * (EnvironmentNameSize + 2) + 96;
constexpr char AnyEnvironment[] = "Delphi or C++Builder";
constexpr DWORD QueryLimitedInformation = 0x1000;  // PROCESS_QUERY_LIMITED_INFORMATION, Vista on

using QueryImageNameFunction = BOOL(WINAPI*)(HANDLE, DWORD, LPSTR, PDWORD);
using SnapshotFunction = HANDLE(WINAPI*)(DWORD, DWORD);
using ModuleFirstFunction = BOOL(WINAPI*)(HANDLE, MODULEENTRY32*);
using ProcessWalkFunction = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32*);

void* KernelFunction(const char* name)
{
    return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), name));
}

// The program file of process pid into path (PathSize bytes); false when it
// cannot be told (before Vista through the tool help functions).
bool ProgramFileOf(DWORD pid, char* path)
{
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

unsigned Length(const char* text) { return static_cast<unsigned>(lstrlenA(text)); }

// An environment the check looks for: its main program's file.
struct Environment {
    char name[EnvironmentNameSize];
    char program[PathSize];  // empty: its folder is not known
    FileIdentity identity;
    bool known;  // identity holds
    bool running;
};

// The same file: by identity, or, when either cannot be opened, by its full
// path without letter case.
bool SameProgram(const char* path, const FileIdentity& identity, bool known, const Environment& environment)
{
    if (!environment.program[0]) return false;
    if (known && environment.known) return SameIdentity(identity, environment.identity);
    return lstrcmpiA(path, environment.program) == 0;
}

// Marks the environments whose program some process runs, in any session.
void FindRunningPrograms(Environment* environments, unsigned count)
{
    const auto snapshot = reinterpret_cast<SnapshotFunction>(KernelFunction("CreateToolhelp32Snapshot"));
    const auto first = reinterpret_cast<ProcessWalkFunction>(KernelFunction("Process32First"));
    const auto next = reinterpret_cast<ProcessWalkFunction>(KernelFunction("Process32Next"));
    if (!snapshot || !first || !next || count == 0) return;
    HANDLE processes = snapshot(TH32CS_SNAPPROCESS, 0);
    if (processes == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    const DWORD self = GetCurrentProcessId();
    for (BOOL more = first(processes, &entry); more; more = next(processes, &entry)) {
        char path[PathSize];
        if (entry.th32ProcessID == 0 || entry.th32ProcessID == self || !ProgramFileOf(entry.th32ProcessID, path))
            continue;
        FileIdentity identity;
        const bool known = IdentityOf(path, &identity);
        for (unsigned i = 0; i < count; ++i)
            environments[i].running |= SameProgram(path, identity, known, environments[i]);
    }
    CloseHandle(processes);
}

// True when a "TAppBuilder" window's process has a program file that cannot
// be told: it may be any environment's.
bool UntoldAppBuilderRuns()
{
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, "TAppBuilder", nullptr)) != nullptr;) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        char program[PathSize];
        FileIdentity identity;
        if (!ProgramFileOf(pid, program) || !IdentityOf(program, &identity)) return true;
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
        read = RegQueryValueExA(environment, EnvironmentRootValue, nullptr, &type, reinterpret_cast<BYTE*>(rootFolder), &size) ==
                   ERROR_SUCCESS && type == REG_SZ;
        RegCloseKey(environment);
    }
    rootFolder[read ? size : 0] = 0;
}

// The environment of key with its main program, added to environments
// unless its name is there already.
void AddEnvironment(const char* key, Environment* environments, unsigned* count)
{
    Environment& environment = environments[*count];
    EnvironmentNameOf(key, environment.name);
    for (unsigned i = 0; i < *count; ++i)
        if (lstrcmpiA(environments[i].name, environment.name) == 0) return;
    char rootFolder[PathSize];
    ReadRootFolder(key, rootFolder);
    unsigned length = Length(rootFolder);
    for (char* last; length > 0 && *(last = CharPrevA(rootFolder, rootFolder + length)) == '\\' &&
                     last == rootFolder + length - 1;)
        rootFolder[--length] = 0;
    // Delphi's keys name "Delphi", C++Builder's "C++Builder".
    const bool delphi = environment.name[0] == 'D';
    if (length == 0 || !CopyText(environment.program, PathSize, rootFolder) ||
        !AppendText(environment.program, PathSize, delphi ? DelphiProgram : BuilderProgram))
        environment.program[0] = 0;
    environment.known = environment.program[0] && IdentityOf(environment.program, &environment.identity);
    environment.running = false;
    ++*count;
}

// The names of the running environments the log names, each once; their
// count. An environment whose folder is not known is told only by a main
// window whose program file cannot be told. Without a name in the log, any
// environment installed here counts, under one name for all.
unsigned RunningNamed(char (*names)[EnvironmentNameSize])
{
    Environment environments[MaxNamed];
    unsigned count = 0;
    char key[PathSize];
    // The records the replay will read, without moving it.
    const char* const replayAt = readPosition;
    readPosition = logData;
    for (int type; (type = ReadNextRecord()) != 0;)
        if (type == UserKeyOpen && EnvironmentKeyOf(currentText, key) && count < MaxNamed)
            AddEnvironment(key, environments, &count);
    readPosition = replayAt;
    const bool named = count > 0;
    if (!named)
        for (const char* environment : EnvironmentKeys) AddEnvironment(environment, environments, &count);
    FindRunningPrograms(environments, count);
    const bool untold = UntoldAppBuilderRuns();
    unsigned running = 0;
    for (unsigned i = 0; i < count; ++i)
        if (environments[i].running || (named && untold)) CopyText(names[running++], EnvironmentNameSize, environments[i].name);
    if (named || (running == 0 && !untold)) return running;
    CopyText(names[0], EnvironmentNameSize, AnyEnvironment);
    return 1;
}

}  // namespace

bool EnvironmentsClosed(bool ask)
{
    if (!logData) return true;
    for (;;) {
        char names[MaxNamed][EnvironmentNameSize];
        const unsigned count = RunningNamed(names);
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
