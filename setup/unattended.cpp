#include "unattended.h"

#include <windows.h>

#include "../engine/catalogue.h"
#include "../engine/failures.h"
#include "../engine/installation.h"
#include "../engine/phase_times.h"
#include "../engine/running.h"
#include "../engine/targets.h"
#include "../engine/templates.h"
#include "../engine/user_registration.h"
#include "command_line.h"
#include "../shared/handles.h"

namespace {

bool AfterPrefix(const wchar_t* text, const wchar_t* prefix)
{
    while (*prefix)
        if (*text++ != *prefix++) return false;
    return true;
}

constexpr std::size_t ReportSize = 4096;
// Every failure there can be, never "and N more".
constexpr int ReportFailureLines = TargetCount + 4;

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
        if (TargetStates[row].checkState == Install && installed)
            fits = fits && AppendLine(report, "Installed: ", TargetTable[row].shortName);
    // Who got the IDE registrations now, and who at their next logon.
    if (installed) fits = fits && AppendLine(report, UserRegistration->reportLine);
    fits = fits && AppendLine(report, "Result: ", result);
    if (why[0]) fits = fits && AppendLine(report, why);
    char list[FailureListSize];
    if (!ComposeFailureList(ReportFailureLines, list, sizeof list)) return false;
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

constexpr std::size_t FinalPathSize = PathSize + 8;  // with "\\?\UNC\"

bool IsReparsePoint(const wchar_t* path)
{
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// A folder on the way to the full path that is a link or a junction.
bool FolderOnTheWayLinked(const wchar_t* path)
{
    wchar_t prefix[PathSize];
    for (std::size_t i = 0; path[i] && i + 1 < PathSize; ++i) {
        prefix[i] = path[i];
        prefix[i + 1] = L'\0';
        if (path[i] == L'\\' && i > 2 && IsReparsePoint(prefix)) return true;
    }
    return false;
}

bool SamePath(const wchar_t* one, const wchar_t* other)
{
    return CompareStringOrdinal(one, -1, other, -1, TRUE) == CSTR_EQUAL;
}

// What the handle is, by the file system's own account: no link, no other
// name, and at the long form of expected, which is not the uninstall log.
bool HandleIsTheReport(HANDLE file, const wchar_t* expected)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info) || info.nNumberOfLinks != 1 ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)))
        return false;
    wchar_t longForm[FinalPathSize], final[FinalPathSize];
    DWORD length = GetLongPathNameW(expected, longForm, FinalPathSize);
    if (length == 0 || length >= FinalPathSize) return false;
    length = GetFinalPathNameByHandleW(file, final, FinalPathSize, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= FinalPathSize) return false;
    const wchar_t* seen = final;
    if (AfterPrefix(seen, L"\\\\?\\UNC\\")) {
        seen += 6;
        final[6] = L'\\';
    } else if (AfterPrefix(seen, L"\\\\?\\")) {
        seen += 4;
    }
    if (!SamePath(seen, longForm)) return false;
    wchar_t log[FinalPathSize] = L"";
    if (ExpandTemplate("$HOME_DIR$\\uninst.kvx", TemplateBuffer, TemplateBufferSize) &&
        MultiByteToWideChar(CP_ACP, 0, TemplateBuffer, -1, log, PathSize) &&
        GetLongPathNameW(log, log, FinalPathSize) && SamePath(seen, log))
        return false;
    return true;
}

// Not followed through a link on its way, nor written into one, nor into a
// file with other names (a hard link): the report is an administrator's
// write to a place that someone else may have named. A file made for it and
// then found elsewhere than expected is taken back.
bool WriteReport(const wchar_t* path, const char* destination, const char* result, bool installed, const char* why = "")
{
    char report[ReportSize];
    if (!ComposeReport(destination, result, why, installed, report) || FolderOnTheWayLinked(path)) return false;
    UniqueFile file(CreateFileW(path, GENERIC_WRITE | DELETE, 0, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return false;
    const bool made = GetLastError() != ERROR_ALREADY_EXISTS;
    if (!HandleIsTheReport(file.get(), path)) {
        FILE_DISPOSITION_INFO gone = {TRUE};
        if (made) SetFileInformationByHandle(file.get(), FileDispositionInfo, &gone, sizeof gone);
        return false;
    }
    const DWORD length = static_cast<DWORD>(TextLength(report));
    DWORD written = 0;
    return WriteFile(file.get(), report, length, &written, nullptr) && written == length && SetEndOfFile(file.get());
}

// The report's full path in the code page when it lies in the home folder,
// so that the log can name it; "" when it lies elsewhere. False when it lies
// there under a name the log cannot hold.
bool ReportInHome(const wchar_t* report, char* inHome)
{
    inHome[0] = '\0';
    wchar_t home[PathSize];
    const int length = MultiByteToWideChar(CP_ACP, 0, VariableValue(HomeDir), -1, home, PathSize);
    if (length <= 1 || lstrlenW(report) < length ||
        CompareStringOrdinal(report, length - 1, home, length - 1, TRUE) != CSTR_EQUAL || report[length - 1] != L'\\')
        return true;
    BOOL lookalike = FALSE;
    const bool spelled = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, report, -1, inHome, PathSize, nullptr,
                                             GetACP() == CP_UTF8 ? nullptr : &lookalike) > 0 &&
                         !lookalike;
    // Never in place of the uninstall log.
    const bool log = spelled && ExpandTemplate("$HOME_DIR$\\uninst.kvx", TemplateBuffer, TemplateBufferSize) &&
                     ::SamePath(inHome, TemplateBuffer);
    if (!spelled || log) inHome[0] = '\0';
    return spelled && !log;
}

std::uint32_t ChosenEnvironments()
{
    std::uint32_t rows = 0;
    for (int row = 0; row < TargetCount; ++row)
        if (IsEnvironment(TargetTable[row]) && TargetStates[row].checkState == Install) rows |= 1u << row;
    return rows;
}

unsigned InstallUnattended(const UnattendedOptions& options)
{
    // The report's place is fixed now: the installation's tools change the
    // current folder.
    wchar_t report[PathSize] = L"";
    wchar_t* name;
    if (options.logFile[0]) {
        const DWORD length = GetFullPathNameW(options.logFile, PathSize, report, &name);
        if (length == 0 || length >= PathSize) return ExitBadCommandLine;
    }
    if (!AllocateEngineBuffers()) return ExitNothingInstalled;
    ClearFailures();
    // What page 2 would offer ticked, into what it would propose, or /D=.
    DetectTargets();
    char proposal[PathSize];
    ProposeDestination(proposal);
    char given[PathSize];
    CopyText(given, PathSize, proposal);
    DestinationRefusal refusal;
    if (options.destination[0]) {
        // As the report can show it; the refusal says why when that is a lookalike.
        WideCharToMultiByte(CP_ACP, 0, options.destination, -1, given, PathSize, nullptr, nullptr);
        given[PathSize - 1] = '\0';
        refusal = TakeDestination(options.destination);
    } else {
        refusal = TakeDestination(proposal);
    }
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
    char reportInHome[PathSize];
    const bool reportable = ReportInHome(report, reportInHome);
    const bool nothing = ScriptWorker(reportInHome[0] ? reportInHome : nullptr) != 0;
    const bool failed = AnyFailure();
    const char* result = nothing ? "nothing was installed" : failed ? "finished with errors" : "completed";
    const bool reported = !report[0] || (reportable && WriteReport(report, VariableValue(HomeDir), result, !nothing));
    ReleaseTargets();
    if (nothing) return ExitNothingInstalled;
    // Installed whole: the missing report does not make it a failure, nor a success without a word.
    return failed ? ExitFinishedWithErrors : reported ? ExitInstalled : ExitReportNotWritten;
}

}  // namespace

void RunUnattendedIfAsked(StartMode mode, const UnattendedOptions& options)
{
    switch (mode) {
    case StartMode::Wizard: return;
    case StartMode::Unattended: {
        const unsigned code = InstallUnattended(options);
        PHASE_TIMES_WRITE();
        ExitProcess(code);
    }
    case StartMode::BadCommandLine: ExitProcess(ExitBadCommandLine);
    }
}
