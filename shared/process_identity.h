#pragma once
// Which program a process runs, told by its file's identity, and whether a development environment runs.
// Win32 by nature; no C runtime, so kvxpurge compiles it too.
#include <windows.h>

#include <tlhelp32.h>

#include "path_text.h"

// A file or folder whatever its path's spelling (long or short names, letter
// case, separators, "\\?\" forms, links on the way): its volume and its index there.
struct FileIdentity {
    DWORD volume, high, low;
};

namespace process_identity {

// A file opened for its identity. No access is asked: a running program's
// file opens whatever it shares.
inline HANDLE OpenForIdentity(const char* path)
{
    return CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The whole identity of the file open at file, all zero when it cannot be told.
inline bool WholeIdentity(HANDLE file, FileIdentity* identity)
{
    BY_HANDLE_FILE_INFORMATION information;
    const bool known = GetFileInformationByHandle(file, &information) != FALSE;
    identity->volume = known ? information.dwVolumeSerialNumber : 0;
    identity->high = known ? information.nFileIndexHigh : 0;
    identity->low = known ? information.nFileIndexLow : 0;
    return known;
}

struct IoStatus {
    union {
        LONG status;
        void* pointer;
    };
    ULONG_PTR information;
};
using QueryFileFunction = LONG(WINAPI*)(HANDLE, IoStatus*, void*, ULONG, int);
constexpr int FileInternalInformation = 6;

// The index alone of the file open at file, which the file system tells
// without the volume's serial, whose query costs more than the rest.
inline bool IndexOf(HANDLE file, FileIdentity* identity)
{
    const auto query = reinterpret_cast<QueryFileFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationFile")));
    LARGE_INTEGER index;
    IoStatus status;
    if (!query || query(file, &status, &index, sizeof index, FileInternalInformation) < 0) return false;
    identity->volume = 0;
    identity->high = static_cast<DWORD>(index.HighPart);
    identity->low = index.LowPart;
    return true;
}

}  // namespace process_identity

// False, with all zero, when path cannot be opened.
inline bool IdentityOf(const char* path, FileIdentity* identity)
{
    const HANDLE file = process_identity::OpenForIdentity(path);
    const bool known = file != INVALID_HANDLE_VALUE && process_identity::WholeIdentity(file, identity);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (!known) *identity = FileIdentity{};
    return known;
}

inline bool SameIdentity(const FileIdentity& a, const FileIdentity& b)
{
    return a.volume == b.volume && a.high == b.high && a.low == b.low;
}

namespace process_identity {

constexpr DWORD QueryLimitedInformation = 0x1000;  // PROCESS_QUERY_LIMITED_INFORMATION, Vista on
using QueryImageNameFunction = BOOL(WINAPI*)(HANDLE, DWORD, LPSTR, PDWORD);
using SnapshotFunction = HANDLE(WINAPI*)(DWORD, DWORD);
using ModuleFirstFunction = BOOL(WINAPI*)(HANDLE, MODULEENTRY32*);
using ProcessWalkFunction = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32*);

// Looked up at run time: the tool help functions are missing on NT 4, the
// image name query before Vista.
inline void* KernelFunction(const char* name)
{
    return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), name));
}

}  // namespace process_identity

// The program file of process pid into path (MAX_PATH bytes); false when it
// cannot be told. Vista on asks the process; earlier Windows list its
// modules, the program file first.
inline bool ProgramFileOf(DWORD pid, char* path)
{
    using namespace process_identity;
    if (const auto query = reinterpret_cast<QueryImageNameFunction>(KernelFunction("QueryFullProcessImageNameA"))) {
        HANDLE process = OpenProcess(QueryLimitedInformation, FALSE, pid);
        if (!process) process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
        DWORD size = MAX_PATH;
        const bool told = process && query(process, 0, path, &size) && size > 0 && size < MAX_PATH;
        if (process) CloseHandle(process);
        return told;
    }
    const auto snapshot = reinterpret_cast<SnapshotFunction>(KernelFunction("CreateToolhelp32Snapshot"));
    const auto first = reinterpret_cast<ModuleFirstFunction>(KernelFunction("Module32First"));
    if (!snapshot || !first) return false;
    const HANDLE modules = snapshot(TH32CS_SNAPMODULE, pid);
    if (modules == INVALID_HANDLE_VALUE) return false;
    MODULEENTRY32 entry;
    entry.dwSize = sizeof entry;
    path[0] = 0;
    const bool told = first(modules, &entry) && AppendPathText(path, MAX_PATH, entry.szExePath);
    CloseHandle(modules);
    return told;
}

// A development environment's main program, told by its file.
struct IdeProgram {
    char path[MAX_PATH];  // empty: the environment's folder is not known
    FileIdentity identity;
    bool known;  // identity holds
};

// The program (such as "\\Bin\\delphi32.exe") below rootFolder, whose
// trailing separators are cut by character: a double-byte character's second
// byte may be a backslash. The empty path when there is no folder or the
// path does not fit.
inline void FindIdeProgram(const char* rootFolder, const char* program, IdeProgram* ide)
{
    ide->path[0] = 0;
    ide->known = false;
    if (!rootFolder || !AppendPathText(ide->path, MAX_PATH, rootFolder)) return;
    char* end = ide->path;
    for (char* at = ide->path; *at; at = NextChar(at))
        if ((*at != '\\' && *at != '/') || NextChar(at) != at + 1) end = NextChar(at);
    *end = 0;
    if (!ide->path[0] || !AppendPathText(ide->path, MAX_PATH, program)) {
        ide->path[0] = 0;
        return;
    }
    ide->known = IdentityOf(ide->path, &ide->identity);
}

// The same file: by identity, or, when either cannot be opened, by its full
// path with letters folded.
inline bool RunsIdeProgram(const char* path, const FileIdentity& identity, bool known, const IdeProgram& ide)
{
    if (!ide.path[0]) return false;
    if (known && ide.known) return SameIdentity(identity, ide.identity);
    return SamePath(path, ide.path);
}

// The identity of the program file at path as far as comparing it with
// programs' needs: the whole where its index is one of theirs, or where the
// index cannot be told alone; else the index, which already tells it from
// theirs. False, with all zero, when the file cannot be opened.
inline bool IdentityAgainst(const char* path, const IdeProgram* programs, unsigned count, FileIdentity* identity)
{
    using namespace process_identity;
    const HANDLE file = OpenForIdentity(path);
    if (file == INVALID_HANDLE_VALUE) {
        *identity = FileIdentity{};
        return false;
    }
    bool whole = !IndexOf(file, identity);
    for (unsigned i = 0; i < count && !whole; ++i)
        whole = programs[i].known && programs[i].identity.high == identity->high &&
                programs[i].identity.low == identity->low;
    const bool known = !whole || WholeIdentity(file, identity);
    CloseHandle(file);
    return known;
}

namespace process_identity {

using SessionFunction = BOOL(WINAPI*)(DWORD, DWORD*);

// True unless process pid is known to run in another session than this
// process: only then could a window of it be found on this desktop.
inline bool MaybeThisSession(SessionFunction session, DWORD own, DWORD pid)
{
    DWORD its = 0;
    return !session || !session(pid, &its) || its == own;
}

}  // namespace process_identity

// Bit i for each of programs[0..count) (count at most 32) that a process
// other than this one runs, in any session. untold, when given, is set when
// a process whose program file cannot be told (UntoldAppBuilderRuns's test)
// may run in this session, or when the processes cannot be listed: only
// then can that window search find anything.
inline DWORD RunningIdePrograms(const IdeProgram* programs, unsigned count, bool* untold = nullptr)
{
    using namespace process_identity;
    const auto snapshot = reinterpret_cast<SnapshotFunction>(KernelFunction("CreateToolhelp32Snapshot"));
    const auto first = reinterpret_cast<ProcessWalkFunction>(KernelFunction("Process32First"));
    const auto next = reinterpret_cast<ProcessWalkFunction>(KernelFunction("Process32Next"));
    const auto session = reinterpret_cast<SessionFunction>(KernelFunction("ProcessIdToSessionId"));
    DWORD running = 0;
    if (untold) *untold = true;
    if (!snapshot || !first || !next || count == 0) return running;
    const HANDLE processes = snapshot(TH32CS_SNAPPROCESS, 0);
    if (processes == INVALID_HANDLE_VALUE) return running;
    if (untold) *untold = false;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    const DWORD self = GetCurrentProcessId();
    DWORD ownSession = 0;
    if (session && !session(self, &ownSession)) ownSession = 0;
    for (BOOL more = first(processes, &entry); more; more = next(processes, &entry)) {
        char path[MAX_PATH];
        if (entry.th32ProcessID == 0 || entry.th32ProcessID == self) continue;
        FileIdentity identity;
        const bool told = ProgramFileOf(entry.th32ProcessID, path);
        const bool known = told && IdentityAgainst(path, programs, count < 32 ? count : 32, &identity);
        if (untold && !known && MaybeThisSession(session, ownSession, entry.th32ProcessID)) *untold = true;
        if (!told) continue;
        for (unsigned i = 0; i < count && i < 32; ++i)
            if (RunsIdeProgram(path, identity, known, programs[i])) running |= DWORD(1) << i;
    }
    CloseHandle(processes);
    return running;
}

// True when a "TAppBuilder" window (an environment's main window) belongs to
// a process whose program file cannot be told: it may be any environment's.
inline bool UntoldAppBuilderRuns()
{
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, "TAppBuilder", nullptr)) != nullptr;) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        char program[MAX_PATH];
        FileIdentity identity;
        if (!ProgramFileOf(pid, program) || !IdentityOf(program, &identity)) return true;
    }
    return false;
}
