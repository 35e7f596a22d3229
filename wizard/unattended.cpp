#include "unattended.h"

#include <windows.h>

#include "../engine/catalogue.h"
#include "../engine/failures.h"
#include "../engine/interpreter.h"
#include "../engine/running.h"
#include "../engine/targets.h"
#include "../engine/templates.h"
#include "../engine/uninstall_log.h"
#include "command_line.h"
#include "handles.h"

namespace {

constexpr std::size_t ReportSize = 4096;
// Every failure there can be, never "and N more".
constexpr int ReportFailureLines = FailureTargetCount + 4;

bool AppendLine(char* report, const char* first, const char* second = "")
{
    return AppendText(report, ReportSize, first) && AppendText(report, ReportSize, second) &&
           AppendText(report, ReportSize, "\r\n");
}

// What was installed where, and each failure in the finish page's words.
bool ComposeReport(const char* destination, const char* result, char* report)
{
    report[0] = '\0';
    bool fits = AppendLine(report, "Destination: ", destination);
    for (int row = 0; row < TargetCount; ++row)
        if (TargetTable[row].checkState == Install && !(TheFailures.overall & HomeFolderNotCreated))
            fits = fits && AppendLine(report, "Installed: ", TargetShortNames[row]);
    fits = fits && AppendLine(report, "Result: ", result);
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

bool WriteReport(const char* path, const char* destination, const char* result)
{
    char report[ReportSize];
    if (!ComposeReport(destination, result, report)) return false;
    UniqueFile file(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    const DWORD length = static_cast<DWORD>(TextLength(report));
    DWORD written = 0;
    return WriteFile(file.get(), report, length, &written, nullptr) && written == length;
}

// The destination as page 3 would take it, always a full path: a relative
// one is taken from the folder the command was started in.
bool ChooseDestination(const UnattendedOptions& options)
{
    DetectTargets();
    ProposeDestination();
    if (options.destination[0]) CopyText(DestinationPath, PathSize, options.destination);
    return TakeDestination();
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
    if (!AllocateEngineBuffers()) return ExitNothingInstalled;
    const char* report = options.logFile[0] ? options.logFile : nullptr;
    ClearFailures();
    if (!ChooseDestination(options)) {
        NoteOverallFailure(HomeFolderNotCreated);
        if (report) WriteReport(report, DestinationPath, "nothing was installed");
        return ExitNothingInstalled;
    }
    // Nothing is written while a chosen environment runs.
    if (const std::uint32_t running = RunningEnvironments(ChosenEnvironments())) {
        char message[RunningMessageSize];
        ComposeRunningMessage(running, message);
        // Its first line; the second tells a user at the screen to retry.
        for (char* c = message; *c; ++c)
            if (*c == '\n') *c = '\0';
        if (report) WriteReport(report, DestinationPath, message);
        ReleaseTargets();
        return ExitEnvironmentRunning;
    }
    if (!BeginInstallation(true) || (TheFailures.overall & HomeFolderNotCreated)) {
        CloseLog();
        if (report) WriteReport(report, DestinationPath, "nothing was installed");
        return ExitNothingInstalled;
    }
    ScriptWorker(nullptr);
    EndInstallation();
    const bool failed = AnyFailure();
    const bool reported =
        !report || WriteReport(report, VariableValue(HomeDir), failed ? "finished with errors" : "completed");
    ReleaseTargets();
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
