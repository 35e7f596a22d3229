#include "running.h"

#include "catalogue.h"
#include "phase_times.h"
#include "process_identity.h"
#include "templates.h"

std::uint32_t RunningEnvironments(std::uint32_t rows)
{
    PHASE_SCOPE(Phase::Running);
    std::uint32_t asked = 0;
    IdeProgram programs[TargetCount];
    for (int row = 0; row < TargetCount; ++row) {
        programs[row].path[0] = '\0';
        const char* rootFolder = TargetStates[row].rootFolder;
        if (!(rows >> row & 1) || !TargetTable[row].ideProgram || !rootFolder || !rootFolder[0]) continue;
        asked |= 1u << row;
        FindIdeProgram(rootFolder, TargetTable[row].ideProgram, &programs[row]);
    }
    if (!asked) return 0;
    bool untold;
    const DWORD runs = RunningIdePrograms(programs, TargetCount, &untold);
    return untold && UntoldAppBuilderRuns() ? asked : runs & asked;
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
