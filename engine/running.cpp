#include "running.h"

#include <windows.h>

#include <tlhelp32.h>

#include "catalogue.h"
#include "handles.h"
#include "templates.h"

namespace {

constexpr char AppBuilderClass[] = "TAppBuilder";
constexpr DWORD QueryLimitedInformation = 0x1000;  // PROCESS_QUERY_LIMITED_INFORMATION, Vista on


using QueryImageNameFunction = BOOL(WINAPI*)(HANDLE, DWORD, LPSTR, PDWORD);
using SnapshotFunction = HANDLE(WINAPI*)(DWORD, DWORD);
using ModuleFirstFunction = BOOL(WINAPI*)(HANDLE, MODULEENTRY32*);
using ProcessWalkFunction = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32*);

// Looked up at run time: the tool help functions are missing on NT 4, the
// image name query before Vista.
void* KernelFunction(const char* name)
{
    return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), name));
}

// The program file of process pid into path (PathSize bytes). Vista on asks
// the process; earlier Windows list its modules, the program file first.
bool ProgramFileOf(DWORD pid, char* path)
{
    if (const auto query = reinterpret_cast<QueryImageNameFunction>(KernelFunction("QueryFullProcessImageNameA"))) {
        UniqueHandle process(OpenProcess(QueryLimitedInformation, FALSE, pid));
        if (!process) process.reset(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid));
        DWORD size = PathSize;
        return process && query(process.get(), 0, path, &size) && size > 0 && size < PathSize;
    }
    const auto snapshot = reinterpret_cast<SnapshotFunction>(KernelFunction("CreateToolhelp32Snapshot"));
    const auto first = reinterpret_cast<ModuleFirstFunction>(KernelFunction("Module32First"));
    if (!snapshot || !first) return false;
    UniqueFile modules(snapshot(TH32CS_SNAPMODULE, pid));
    MODULEENTRY32 entry{};
    entry.dwSize = sizeof entry;
    return modules && first(modules.get(), &entry) && CopyText(path, PathSize, entry.szExePath);
}

// A file whatever its path's spelling (long or short names, letter case,
// separators, "\\?\" forms, links on the way): its volume and its index there.
struct FileIdentity {
    DWORD volume = 0, high = 0, low = 0;
    bool known = false;
    bool operator==(const FileIdentity& other) const
    {
        return known && other.known && volume == other.volume && high == other.high && low == other.low;
    }
};

FileIdentity IdentityOf(const char* path)
{
    FileIdentity identity;
    // No access asked: a running program's file opens whatever it shares.
    UniqueFile file(CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information;
    if (!file || !GetFileInformationByHandle(file.get(), &information)) return identity;
    identity = {information.dwVolumeSerialNumber, information.nFileIndexHigh, information.nFileIndexLow, true};
    return identity;
}

struct IdeProgram {
    char path[PathSize];
    FileIdentity identity;
};

// The program file of the row's environment; the empty path when it does not fit.
void FindIdeProgram(int row, IdeProgram* program)
{
    program->path[0] = '\0';
    if (!CopyText(program->path, PathSize, TargetStates[row].rootFolder)) return;
    TrimTrailingSeparator(program->path);
    if (!program->path[0] || !AppendText(program->path, PathSize, TargetTable[row].ideProgram)) return;
    program->identity = IdentityOf(program->path);
}

// The same file: by identity, or, when either cannot be opened, by its full
// path without letter case.
bool SameProgram(const char* path, const FileIdentity& identity, const IdeProgram& program)
{
    if (!program.path[0]) return false;
    if (identity.known && program.identity.known) return identity == program.identity;
    return CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, path, -1, program.path, -1) == CSTR_EQUAL;
}

// The rows among asked whose environment's program some process runs, in
// any session.
std::uint32_t RunningPrograms(std::uint32_t asked, const IdeProgram* programs)
{
    const auto snapshot = reinterpret_cast<SnapshotFunction>(KernelFunction("CreateToolhelp32Snapshot"));
    const auto first = reinterpret_cast<ProcessWalkFunction>(KernelFunction("Process32First"));
    const auto next = reinterpret_cast<ProcessWalkFunction>(KernelFunction("Process32Next"));
    std::uint32_t running = 0;
    if (!snapshot || !first || !next) return running;
    UniqueFile processes(snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    const DWORD self = GetCurrentProcessId();
    for (BOOL more = processes && first(processes.get(), &entry); more; more = next(processes.get(), &entry)) {
        char path[PathSize];
        if (entry.th32ProcessID == 0 || entry.th32ProcessID == self || !ProgramFileOf(entry.th32ProcessID, path))
            continue;
        const FileIdentity identity = IdentityOf(path);
        for (int row = 0; row < TargetCount; ++row)
            if ((asked >> row & 1) && SameProgram(path, identity, programs[row])) running |= 1u << row;
    }
    return running;
}

}  // namespace

std::uint32_t RunningEnvironments(std::uint32_t rows)
{
    std::uint32_t asked = 0;
    IdeProgram programs[TargetCount];
    for (int row = 0; row < TargetCount; ++row) {
        programs[row].path[0] = '\0';
        const char* rootFolder = TargetStates[row].rootFolder;
        if (!(rows >> row & 1) || !TargetTable[row].ideProgram || !rootFolder || !rootFolder[0]) continue;
        asked |= 1u << row;
        FindIdeProgram(row, &programs[row]);
    }
    if (!asked) return 0;
    std::uint32_t running = RunningPrograms(asked, programs);
    // A main window whose program file cannot be told may be any of them.
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, AppBuilderClass, nullptr)) != nullptr;) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        char program[PathSize];
        if (!ProgramFileOf(pid, program) || !IdentityOf(program).known) running |= asked;
    }
    return running;
}
void ComposeRunningMessage(std::uint32_t rows, char* out)
{
    int count = 0;
    for (int row = 0; row < TargetCount; ++row) count += rows >> row & 1;
    out[0] = '\0';
    // Nine names of at most 12 characters and their joints fit.
    for (int row = 0, named = 0; row < TargetCount; ++row) {
        if (!(rows >> row & 1)) continue;
        if (named > 0) AppendText(out, RunningMessageSize, named + 1 == count ? " and " : ", ");
        AppendText(out, RunningMessageSize, TargetTable[row].shortName);
        ++named;
    }
    AppendText(out, RunningMessageSize,
               count == 1 ? " is running and must be closed first.\nClose it, then press Retry."
                          : " are running and must be closed first.\nClose them, then press Retry.");
}
