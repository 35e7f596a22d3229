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

// The program file of process pid into path (PathSize bytes). Vista on asks
// the process; earlier Windows list its modules, the program file first
// (the tool help functions are missing on NT 4 only, where nothing is told).
bool ProgramFileOf(DWORD pid, char* path)
{
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    const auto query = reinterpret_cast<QueryImageNameFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "QueryFullProcessImageNameA")));
    if (query) {
        UniqueHandle process(OpenProcess(QueryLimitedInformation, FALSE, pid));
        if (!process) process.reset(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid));
        DWORD size = PathSize;
        return process && query(process.get(), 0, path, &size) && size > 0 && size < PathSize;
    }
    const auto snapshot = reinterpret_cast<SnapshotFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "CreateToolhelp32Snapshot")));
    const auto first = reinterpret_cast<ModuleFirstFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "Module32First")));
    if (!snapshot || !first) return false;
    UniqueFile modules(snapshot(TH32CS_SNAPMODULE, pid));
    MODULEENTRY32 entry{};
    entry.dwSize = sizeof entry;
    return modules && first(modules.get(), &entry) && CopyText(path, PathSize, entry.szExePath);
}

// True when program lies directly in rootFolder's Bin folder, without letter case.
bool InBinFolder(const char* program, const char* rootFolder)
{
    char bin[PathSize];
    if (!CopyText(bin, PathSize, rootFolder)) return false;
    TrimTrailingSeparator(bin);
    if (!bin[0] || !AppendText(bin, PathSize, "\\Bin\\")) return false;
    const int length = static_cast<int>(TextLength(bin));
    if (static_cast<int>(TextLength(program)) <= length) return false;
    for (const char* p = program + length; *p; ++p)
        if (*p == '\\') return false;
    return CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, program, length, bin, length) == CSTR_EQUAL;
}

}  // namespace

std::uint32_t RunningEnvironments(std::uint32_t rows)
{
    std::uint32_t asked = 0;
    for (int row = 0; row < TargetCount; ++row)
        if ((rows >> row & 1) && TargetTable[row].rootFolder && TargetTable[row].rootFolder[0]) asked |= 1u << row;
    std::uint32_t running = 0;
    if (!asked) return running;
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, AppBuilderClass, nullptr)) != nullptr;) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        char program[PathSize];
        if (!ProgramFileOf(pid, program)) {
            running |= asked;
            continue;
        }
        for (int row = 0; row < TargetCount; ++row)
            if ((asked >> row & 1) && InBinFolder(program, TargetTable[row].rootFolder)) running |= 1u << row;
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
        AppendText(out, RunningMessageSize, TargetShortNames[row]);
        ++named;
    }
    AppendText(out, RunningMessageSize,
               count == 1 ? " is running and must be closed first.\nClose it, then press Retry."
                          : " are running and must be closed first.\nClose them, then press Retry.");
}
