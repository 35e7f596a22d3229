#include "running.h"

#include "catalogue.h"
#include "shared/process_identity.h"
#include "templates.h"

namespace {

// The environment's main program below its RootDir, by TargetTable row.
constexpr const char* IdePrograms[] = {
    "\\Bin\\delphi32.exe", "\\Bin\\delphi32.exe", "\\Bin\\delphi32.exe", "\\Bin\\delphi32.exe",
    "\\Bin\\delphi32.exe", "\\Bin\\bcb.exe",      "\\Bin\\bcb.exe",      "\\Bin\\bcb.exe",
    "\\Bin\\bcb.exe",
};
constexpr int EnvironmentRows = sizeof IdePrograms / sizeof IdePrograms[0];
static_assert(EnvironmentRows < TargetCount, "the environments are the first rows");

}  // namespace

std::uint32_t RunningEnvironments(std::uint32_t rows)
{
    std::uint32_t asked = 0;
    IdeProgram programs[EnvironmentRows];
    for (int row = 0; row < EnvironmentRows; ++row) {
        programs[row].path[0] = '\0';
        if (!(rows >> row & 1) || !TargetTable[row].rootFolder || !TargetTable[row].rootFolder[0]) continue;
        asked |= 1u << row;
        FindIdeProgram(TargetTable[row].rootFolder, IdePrograms[row], &programs[row]);
    }
    if (!asked) return 0;
    return UntoldAppBuilderRuns() ? asked : RunningIdePrograms(programs, EnvironmentRows) & asked;
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
