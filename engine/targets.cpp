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
    if (!target->rootFolder ||
        ReadRegistryText(HKEY_LOCAL_MACHINE, target->registryKey, target->valueName, target->rootFolder, PathSize) == 0) {
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

void ReadBackChoices()
{
    for (InstallTarget* row = TargetTable; row->caption; ++row)
        if (row->listState != NotListed) row->checkState = CheckListGetItemData(WizardCheckList, row->listIndex);

    // At most 259 characters; a longer text is cut by the control itself.
    GetDlgItemTextA(WizardWindow, DestinationEditId, DestinationPath, PathSize);
    TakeDestination();
}

void TakeDestination()
{
    TrimTrailingSeparator(DestinationPath);
    SetVariable(HomeDir, DestinationPath);

    char* sysDir = VariableTable[SysDir].value;
    UINT length = GetSystemDirectoryA(sysDir, PathSize);
    if (length == 0 || length >= PathSize) sysDir[0] = '\0';
}

void ReleaseTargets()
{
    for (InstallTarget* row = TargetTable; row->caption; ++row) ReleaseRootFolder(row);
    ReleaseEngineBuffers();
}
