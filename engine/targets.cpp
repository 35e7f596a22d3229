#include "targets.h"

#include <windows.h>

#include "../wizard/checklist.h"
#include "interpreter.h"

char DestinationPath[PathSize];
bool destinationProposed = false;
CheckListState* WizardCheckList = nullptr;

namespace {

constexpr char ProductKey[] = "Software\\Quillmere\\Ostrevane";
constexpr char ProposedFolder[] = "\\Ostrevane";

// "X:\..." or "\\server\share...": no device or other name space.
bool IsDriveOrNetworkPath(const char* path)
{
    const char letter = static_cast<char>(path[0] | 0x20);
    if (letter >= 'a' && letter <= 'z' && path[1] == ':' && path[2] == '\\') return true;
    return path[0] == '\\' && path[1] == '\\' && path[2] && path[2] != '?' && path[2] != '.' && path[2] != '\\';
}

void ReleaseRootFolder(InstallTarget* target)
{
    if (target->rootFolder) LocalFree(target->rootFolder);
    target->rootFolder = nullptr;
}

}  // namespace

void DetectTarget(InstallTarget* target)
{
    // A row never holds more than one buffer; a failed allocation leaves the
    // row undetected.
    ReleaseRootFolder(target);
    target->rootFolder = static_cast<char*>(LocalAlloc(LPTR, PathSize));
    // A quote or a dollar sign would change the tool command lines and
    // templates that the folder is put into; no set-up of the environment
    // writes one.
    if (!target->rootFolder ||
        ReadRegistryText(HKEY_LOCAL_MACHINE, target->registryKey, target->valueName, target->rootFolder, PathSize) == 0 ||
        FindFolded("\"", target->rootFolder) || FindFolded("$", target->rootFolder)) {
        target->listState = NotListed;
        target->checkState = NotFound;
        return;
    }
    target->listState = Listed;
    target->checkState = Install;
    if (!destinationProposed) CopyText(DestinationPath, PathSize, target->rootFolder);
}

void DetectTargets()
{
    for (InstallTarget* row = TargetTable; row->caption; ++row)
        if (row->registryKey) DetectTarget(row);
}

void ProposeDestination()
{
    if (!destinationProposed) {
        TrimTrailingSeparator(DestinationPath);
        CutToParentFolder(DestinationPath);
        // Beside a folder too deep to take the name, fall back to the drive's root.
        if (!AppendText(DestinationPath, PathSize, ProposedFolder)) CopyText(DestinationPath, PathSize, ProposedFolder);
        destinationProposed = true;
    }
    // A failed read leaves the empty text: no earlier installation, nothing
    // for the search path to remove.
    char* homeOld = VariableTable[HomeOld].value;
    if (ReadRegistryText(HKEY_LOCAL_MACHINE, ProductKey, "RootDir", homeOld, PathSize) > 0)
        CopyText(DestinationPath, PathSize, homeOld);
}

void FillTargetList()
{
    CheckListReset(WizardCheckList);
    DetectTargets();
    for (InstallTarget* row = TargetTable; row->caption; ++row)
        if (row->listState != NotListed) row->listIndex = CheckListAddItem(WizardCheckList, row->caption, row->checkState);
    ProposeDestination();
    SetDlgItemTextA(WizardWindow, DestinationEditId, DestinationPath);
}

bool ReadBackChoices()
{
    for (InstallTarget* row = TargetTable; row->caption; ++row)
        if (row->listState != NotListed) row->checkState = CheckListGetItemData(WizardCheckList, row->listIndex);

    // At most 259 characters; a longer text is cut by the control itself.
    GetDlgItemTextA(WizardWindow, DestinationEditId, DestinationPath, PathSize);
    return TakeDestination();
}

bool TakeDestination()
{
    TrimTrailingSeparator(DestinationPath);
    // "\Ostrevane" or a folder typed without its drive is taken from the
    // current folder now, so that the log and the registry hold full paths.
    char full[PathSize];
    char* name;
    const DWORD length = GetFullPathNameA(DestinationPath, PathSize, full, &name);
    const bool usable = length != 0 && length < PathSize && IsDriveOrNetworkPath(full);
    if (usable) {
        TrimTrailingSeparator(full);
    } else {
        full[0] = '\0';
    }
    SetVariable(HomeDir, full);

    char* sysDir = VariableTable[SysDir].value;
    UINT sysLength = GetSystemDirectoryA(sysDir, PathSize);
    if (sysLength == 0 || sysLength >= PathSize) sysDir[0] = '\0';

    // Windows' list of installed software starts "kvxpurge.exe" by its bare
    // name. On 64-bit Windows that list is a 64-bit program, which does not
    // look in the 32-bit system folder we see; the Windows folder is searched
    // by 32- and 64-bit programs alike and is not redirected.
    char* uninstDir = VariableTable[UninstDir].value;
    if (RunsUnderWow64()) {
        sysLength = GetSystemWindowsDirectoryA(uninstDir, PathSize);
        if (sysLength == 0 || sysLength >= PathSize) uninstDir[0] = '\0';
    } else {
        CopyText(uninstDir, PathSize, sysDir);
    }
    return usable;
}

bool RunsUnderWow64()
{
    // Looked up: older 32-bit Windows has no such call and is never 64-bit.
    using IsWow64ProcessCall = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto isWow64Process = reinterpret_cast<IsWow64ProcessCall>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process")));
    BOOL wow64 = FALSE;
    return isWow64Process && isWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

std::uint32_t TickedEnvironments()
{
    std::uint32_t rows = 0;
    for (int row = 0; TargetTable[row].caption; ++row) {
        const InstallTarget& target = TargetTable[row];
        if (target.registryKey && target.listState != NotListed &&
            CheckListGetItemData(WizardCheckList, target.listIndex) == Install)
            rows |= 1u << row;
    }
    return rows;
}

void ReleaseTargets()
{
    for (InstallTarget* row = TargetTable; row->caption; ++row) ReleaseRootFolder(row);
    ReleaseEngineBuffers();
}
