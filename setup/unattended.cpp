#include "unattended.h"

#include <windows.h>

#include "../engine/catalogue.h"
#include "../engine/failures.h"
#include "../engine/installation.h"
#include "../engine/running.h"
#include "../engine/targets.h"
#include "../engine/templates.h"
#include "command_line.h"
#include "../engine/handles.h"

namespace {

constexpr std::size_t ReportSize = 4096;
// Every failure there can be, never "and N more".
constexpr int ReportFailureLines = FailureTargetCount + 4;

bool AppendLine(char* report, const char* first, const char* second = "")
{
    return AppendText(report, ReportSize, first) && AppendText(report, ReportSize, second) &&
           AppendText(report, ReportSize, "\r\n");
}

// What was installed where, and each failure in the finish page's words;
// why, when the destination was refused.
bool ComposeReport(const char* destination, const char* result, const char* why, bool installed, char* report)
{
    report[0] = '\0';
    bool fits = AppendLine(report, "Destination: ", destination);
    for (int row = 0; row < TargetCount; ++row)
        if (TargetTable[row].checkState == Install && installed)
            fits = fits && AppendLine(report, "Installed: ", TargetShortNames[row]);
    fits = fits && AppendLine(report, "Result: ", result);
    if (why[0]) fits = fits && AppendLine(report, why);
    char list[FailureListSize];
    if (!ComposeFailureList(TargetShortNames, ReportFailureLines, list, sizeof list)) return false;
    // The finish page breaks its lines with a lone carriage return.
    for (char* line = list; fits && *line;) {
        char* end = line;
        while (*end && *end != '\r') ++end;
        const char kept = *end;
        *end = '\0';
        fits = AppendLine(report, line);
        line = kept ? end + 1 : end;
    }
    return fits;
}

bool WriteReport(const char* path, const char* destination, const char* result, bool installed, const char* why = "")
{
    char report[ReportSize];
    if (!ComposeReport(destination, result, why, installed, report)) return false;
    UniqueFile file(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    const DWORD length = static_cast<DWORD>(TextLength(report));
    DWORD written = 0;
    return WriteFile(file.get(), report, length, &written, nullptr) && written == length;
}

std::uint32_t ChosenEnvironments()
{
    std::uint32_t rows = 0;
    for (int row = 0; row < TargetCount; ++row)
        if (TargetTable[row].registryKey && TargetTable[row].checkState == Install) rows |= 1u << row;
    return rows;
}

unsigned InstallUnattended(const UnattendedOptions& options)
{
    // The report's place is fixed now: the installation's tools change the
    // current folder.
    char report[PathSize] = "";
    char* name;
    if (options.logFile[0]) {
        const DWORD length = GetFullPathNameA(options.logFile, PathSize, report, &name);
        if (length == 0 || length >= PathSize) return ExitBadCommandLine;
    }
    if (!AllocateEngineBuffers()) return ExitNothingInstalled;
    ClearFailures();
    // What page 2 would offer ticked, into what it would propose, or /D=.
    DetectTargets();
    char proposal[PathSize];
    ProposeDestination(proposal);
    const char* given = options.destination[0] ? options.destination : proposal;
    const DestinationRefusal refusal = TakeDestination(given);
    if (refusal != DestinationRefusal::None) {
        if (report[0]) WriteReport(report, given, "nothing was installed", false, RefusalText(refusal));
        ReleaseTargets();
        return ExitNothingInstalled;
    }
    // Nothing is written while a chosen environment runs.
    if (const std::uint32_t running = RunningEnvironments(ChosenEnvironments())) {
        char message[RunningMessageSize];
        ComposeRunningMessage(running, message);
        // Its first line; the second tells a user at the screen to retry.
        for (char* c = message; *c; ++c)
            if (*c == '\n') *c = '\0';
        if (report[0]) WriteReport(report, VariableValue(HomeDir), message, false);
        ReleaseTargets();
        return ExitEnvironmentRunning;
    }
    const bool nothing = ScriptWorker(nullptr) != 0;
    const bool failed = AnyFailure();
    const char* result = nothing ? "nothing was installed" : failed ? "finished with errors" : "completed";
    const bool reported = !report[0] || WriteReport(report, VariableValue(HomeDir), result, !nothing);
    ReleaseTargets();
    if (nothing) return ExitNothingInstalled;
    return failed || !reported ? ExitFinishedWithErrors : ExitInstalled;
}

}  // namespace

void RunUnattendedIfAsked()
{
    UnattendedOptions options;
    switch (ParseCommandLine(GetCommandLineA(), &options)) {
    case StartMode::Wizard: return;
    case StartMode::Unattended: ExitProcess(InstallUnattended(options));
    case StartMode::BadCommandLine: ExitProcess(ExitBadCommandLine);
    }
}
