#include "installation.h"

#include "catalogue.h"
#include "component_version.h"
#include "failures.h"
#include "files.h"
#include "folder_security.h"
#include "interpreter.h"
#include "link_guard.h"
#include "phase_times.h"
#include "registry.h"
#include "templates.h"
#include "uninstall_log.h"
#include "user_registration.h"
#include "progress_sink.h"

namespace {

bool IsFolder(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

void RegisterProductDetails()
{
    PHASE_SCOPE(Phase::Registry);
    // Only what the shared files registered gets the details beside it.
    if (TargetStates[SharedFilesRow].checkState != Install) return;
    SetFailureTarget(SharedFilesRow);
    SYSTEMTIME today;
    GetLocalTime(&today);
    char date[9];
    unsigned value = today.wYear * 10000u + today.wMonth * 100u + today.wDay;
    for (int i = 7; i >= 0; --i, value /= 10) date[i] = static_cast<char>('0' + value % 10);
    date[8] = '\0';
    const DWORD kilobytes = static_cast<DWORD>((InstalledBytes + 1023) / 1024);
    if (!WriteRegistryText(HKEY_LOCAL_MACHINE, UninstallKey, "InstallDate", date) ||
        !WriteRegistryNumber(HKEY_LOCAL_MACHINE, UninstallKey, "EstimatedSize", kilobytes) ||
        !WriteRegistryNumber(HKEY_LOCAL_MACHINE, UninstallKey, "NoModify", 1) ||
        !WriteRegistryNumber(HKEY_LOCAL_MACHINE, UninstallKey, "NoRepair", 1))
        NoteFailure(Failure::RegistryNotWritten);
}

namespace {

// The name Windows' list shows, from the entry that writes it there.
const char* DisplayName()
{
    for (const ScriptEntry* entry = UninstallerScript; entry->templateText; ++entry)
        if (entry->op == ScriptOp::WriteMachineValue && entry->argument.text &&
            SameChars(entry->argument.text, "DisplayName"))
            return entry->stepOrValueData.text;
    return "";
}

}  // namespace

void RegisterLogonComponent()
{
    if (TargetStates[SharedFilesRow].checkState != Install) return;
    SetFailureTarget(SharedFilesRow);
    char stub[PathSize + 2];
    if (!ExpandTemplate("\"$UNINST_DIR$\\", stub, sizeof stub) || !AppendText(stub, sizeof stub, RegistrarName) ||
        !AppendText(stub, sizeof stub, "\"")) {
        NoteFailure(Failure::RegistryNotWritten);
        return;
    }
    if (!Ahead(LogonComponent, ActiveSetupKeyPath)) return;
    // A Version that is no comma form counts as absent; the clock's is above it.
    char text[64] = "";
    ReadRegistryText(HKEY_LOCAL_MACHINE, ActiveSetupKeyPath, ComponentVersionValue, text, sizeof text);
    SYSTEMTIME now;
    GetSystemTime(&now);
    RaiseVersionText(text, MomentOf(now));
    // StubPath last: a logon runs only a component that is whole.
    if (!WriteRegistryText(HKEY_LOCAL_MACHINE, ActiveSetupKeyPath, "", DisplayName()) ||
        !WriteRegistryText(HKEY_LOCAL_MACHINE, ActiveSetupKeyPath, HomeFolderValue, VariableValue(HomeDir)) ||
        !WriteRegistryText(HKEY_LOCAL_MACHINE, ActiveSetupKeyPath, ComponentVersionValue, text) ||
        !WriteRegistryNumber(HKEY_LOCAL_MACHINE, ActiveSetupKeyPath, IsInstalledValue, 1) ||
        !WriteRegistryText(HKEY_LOCAL_MACHINE, ActiveSetupKeyPath, StubPathValue, stub))
        NoteFailure(Failure::RegistryNotWritten);
}

bool BeginInstallation(bool destinationTaken)
{
    UserRegistration = &ProbeUserRegistration();
    ClearFailures();
    ForgetEarlierLooks();
    char* home = VariableTable[HomeDir].value;
    // Nothing is installed into a destination that is no full path or that is
    // a link: its files, the log among them, would land elsewhere.
    if (!destinationTaken || ThroughLinkInHome(home)) {
        NoteOverallFailure(HomeFolderNotCreated);
        return false;
    }
    // An existing folder that others may change is taken only empty, made
    // afresh with the access list of a folder the installation makes; one
    // that has been given something since it was taken is not used.
    bool remade = false;
    if (IsFolder(home) && !FolderOnlyAdministratorsChange(home) && !(remade = RemakeProtectedFolder(home))) {
        NoteOverallFailure(HomeFolderNotCreated);
        return false;
    }
    char createdAbove[PathSize];
    if (!CreateFolderPath(home, createdAbove)) {
        NoteOverallFailure(HomeFolderNotCreated);
        return false;
    }
    // A folder made now holds only what this installation puts there: held,
    // its paths need no link checks. One that was there is checked as before.
    if (remade || createdAbove[0]) HoldMadeHomeFolder();
    // A log path that does not fit, or a log that is a link, leaves the log
    // closed: no file is written.
    if (ExpandTemplate("$HOME_DIR$\\uninst.kvx", TemplateBuffer, TemplateBufferSize) &&
        !ThroughLinkInHome(TemplateBuffer))
        OpenLog(TemplateBuffer);
    // Nothing is changed that no log on disk could take back: the log comes
    // first, with what earlier installations into this folder did; then the
    // uninstaller and its entry in Windows' list, so that an installation
    // ended at any later point can be removed from there.
    AppendRecord(ProductText, ProductDescription);
    // An earlier log that cannot be carried whole stays as it is, and so
    // does everything else: a shorter log could never remove what it named.
    if (!CarryEarlierLog()) {
        CloseLog();
        ReleaseHomeFolder();
        NoteOverallFailure(LogNotWritten);
        return false;
    }
    // The folders made above the home folder go with it, when empty: each
    // one from the first made down to the home folder's parent.
    const std::size_t first = TextLength(createdAbove);
    for (char* at = home; first && *at; at = NextChar(at)) {
        if (*at != '\\' || NextChar(at) != at + 1 || static_cast<std::size_t>(at - home) < first) continue;
        *at = '\0';
        RecordAhead(CreatedFolder, home);
        *at = '\\';
    }
    if (IsFolder(home)) RecordAhead(CreatedFolder, home);
    if (!SaveLog()) {
        CloseLog();
        ReleaseHomeFolder();
        NoteOverallFailure(LogNotWritten);
        return false;
    }
    if (TargetStates[SharedFilesRow].checkState == Install) {
        SetFailureTarget(SharedFilesRow);
        RunScript(UninstallerScript);
        SetFailureTarget(NoFailureTarget);
    }
    return true;
}

void EndInstallation()
{
    ForgetEarlierLooks();
    ReleaseHomeFolder();
    if (!WriteLog()) NoteOverallFailure(LogNotWritten);
}

void RunChosenScripts(const InstallTarget* targets)
{
    // The home folder is made before the scripts run; it goes last, when empty.
    if (IsFolder(VariableValue(HomeDir))) RecordAhead(CreatedFolder, VariableValue(HomeDir));
    InstalledBytes = 0;
    for (int row = 0; row < TargetCount; ++row) {
        const InstallTarget* target = &targets[row];
        const TargetState& state = TargetStates[row];
        if (state.checkState != Install) continue;
        if (state.rootFolder && target->registryKey) {
            SetVariable(DelphiDir, state.rootFolder);
            SetVariable(DelphiReg, target->registryKey);
            // A folder without a short form (it is gone, or the name does not
            // fit) stands for itself.
            char shortFolder[PathSize + 1];
            DWORD length = GetShortPathNameA(state.rootFolder, shortFolder, sizeof shortFolder);
            if (length == 0 || length >= sizeof shortFolder) CopyText(shortFolder, sizeof shortFolder, state.rootFolder);
            SetVariable(DelphiDirShort, shortFolder);
        }
        SetFailureTarget(row);
        // The caption undoes nothing: it reaches the disk with the script's first records.
        HoldRecords();
        RecordAhead(TargetCaption, target->caption);
        RunScript(target->script);
        FlushHeldRecords();
    }
    RegisterProductDetails();
    RegisterLogonComponent();
    SetFailureTarget(NoFailureTarget);
    PHASE_SCOPE(Phase::Registry);
    // The vendor's key, which others may share, goes only when it is empty then.
    HoldRecords();
    const bool recorded = (KeyExists(HKEY_LOCAL_MACHINE, VendorKeyPath) || Ahead(MachineKeyDelete, VendorKeyPath)) &&
                          Ahead(MachineKeyDelete, ProductKeyPath);
    if (FlushHeldRecords() && recorded) {
        if (!WriteRegistryText(HKEY_LOCAL_MACHINE, ProductKeyPath, HomeFolderValue, VariableValue(HomeDir)))
            NoteOverallFailure(HomeFolderNotStored);
    } else {
        NoteOverallFailure(HomeFolderNotStored);
    }
}

DWORD WINAPI ScriptWorker(LPVOID laterFile)
{
    PHASE_SWITCH(Phase::Other);
    // Nothing is written for a home folder that could not be made, nor
    // where no log can be kept.
    const bool begun = BeginInstallation(true);
    if (begun) {
        RunChosenScripts();
        if (laterFile && !RecordAhead(InstalledFile, static_cast<const char*>(laterFile)))
            NoteOverallFailure(LogNotWritten);
        EndInstallation();
    }
    ReportEnded();
    return begun ? 0 : 1;
}
