#pragma once
// Where an installation's own time goes, by phase. Only the benchmark's copy
// of install.exe (built with OSTREVANE_PHASE_TIMES) keeps the clock; in every
// other build the macros below are empty and their operands never compiled.
#ifdef OSTREVANE_PHASE_TIMES
#include <windows.h>

#include "script_format.h"

enum class Phase : int {
    Load,      // from the process's creation to WinMain
    Startup,   // start-up, command line, detection, the destination
    Running,   // the running-environment check
    Files,     // files and folders written
    Registry,  // values and keys written, the pending-deletion list
    Help,      // help registrations and help index files
    Log,       // the uninstall log: its records, its saves
    Links,     // the link checks of the paths written
    Tools,     // the waits for the environments' tools
    Outputs,   // the walks of the home folder around each tool
    Other,
    Count
};

inline constexpr const char* PhaseNames[] = {"load", "startup", "running", "files", "registry", "help",
                                             "log", "links", "tools", "outputs", "other"};
static_assert(sizeof PhaseNames / sizeof *PhaseNames == static_cast<int>(Phase::Count), "a name per phase");

inline Phase CurrentPhase = Phase::Startup;
inline LONGLONG PhaseSince = 0;
inline LONGLONG PhaseSpent[static_cast<int>(Phase::Count)] = {};

inline LONGLONG PhaseNow()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// The time since the last switch goes to the phase that ran; then phase runs.
inline Phase SwitchPhase(Phase phase)
{
    const LONGLONG now = PhaseNow();
    PhaseSpent[static_cast<int>(CurrentPhase)] += now - PhaseSince;
    PhaseSince = now;
    const Phase before = CurrentPhase;
    CurrentPhase = phase;
    return before;
}

// A phase for a scope; the one it interrupted goes on after it.
struct PhaseScope {
    Phase before;
    explicit PhaseScope(Phase phase) : before(SwitchPhase(phase)) {}
    ~PhaseScope() { SwitchPhase(before); }
    PhaseScope(const PhaseScope&) = delete;
    PhaseScope& operator=(const PhaseScope&) = delete;
};

inline Phase PhaseOfOp(ScriptOp op)
{
    switch (op) {
    case ScriptOp::ExtractResource:
    case ScriptOp::CreateFolders:
    case ScriptOp::CopyFileTo: return Phase::Files;
    case ScriptOp::RunTool: return Phase::Outputs;
    case ScriptOp::RegisterPackage:
    case ScriptOp::ExtendSearchPath:
    case ScriptOp::WriteMachineValue:
    case ScriptOp::PurgePackageEntries: return Phase::Registry;
    case ScriptOp::RegisterHelp:
    case ScriptOp::AppendOnce:
    case ScriptOp::RemoveFile: return Phase::Help;
    default: return Phase::Other;
    }
}

// The start of WinMain: the loading before it is measured by the system's clock.
inline void StartPhaseTimes()
{
    PhaseSince = PhaseNow();
    CurrentPhase = Phase::Startup;
    FILETIME created, exited, kernel, user, now;
    if (GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        GetSystemTimeAsFileTime(&now);
        const auto ticks = [](const FILETIME& t) {
            return static_cast<LONGLONG>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
        };
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        const LONGLONG loaded = ticks(now) - ticks(created);  // 100 ns units
        if (loaded > 0) PhaseSpent[static_cast<int>(Phase::Load)] = loaded * frequency.QuadPart / 10000000;
    }
}

// Appends "phase microseconds" lines to the file that OSTREVANE_PHASE_TIMES
// names in the environment; nothing without one.
inline void WritePhaseTimes()
{
    SwitchPhase(CurrentPhase);
    char path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableA("OSTREVANE_PHASE_TIMES", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    char text[64 * static_cast<int>(Phase::Count)];
    char* out = text;
    for (int phase = 0; phase < static_cast<int>(Phase::Count); ++phase) {
        for (const char* name = PhaseNames[phase]; *name;) *out++ = *name++;
        *out++ = ' ';
        auto micro = static_cast<ULONGLONG>(PhaseSpent[phase]) * 1000000 / static_cast<ULONGLONG>(frequency.QuadPart);
        char digits[24];
        int count = 0;
        do digits[count++] = static_cast<char>('0' + micro % 10);
        while (micro /= 10);
        while (count) *out++ = digits[--count];
        *out++ = '\n';
    }
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(out - text), &written, nullptr);
    CloseHandle(file);
}

#define PHASE_SCOPE(phase) PhaseScope phaseScope_(phase)
#define PHASE_SWITCH(phase) SwitchPhase(phase)
#define PHASE_TIMES_START() StartPhaseTimes()
#define PHASE_TIMES_WRITE() WritePhaseTimes()
#else
#define PHASE_SCOPE(phase)
#define PHASE_SWITCH(phase)
#define PHASE_TIMES_START()
#define PHASE_TIMES_WRITE()
#endif
