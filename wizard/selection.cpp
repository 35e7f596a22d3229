#include "selection.h"

#include <windows.h>

#include "wizard.h"
#include "checklist.h"
#include "wizard_ids.h"

char DestinationPath[PathSize];
bool destinationProposed = false;
CheckListState* WizardCheckList = nullptr;

void FillTargetList()
{
    CheckListReset(WizardCheckList);
    DetectTargets();
    for (InstallTarget* row = TargetTable; row->caption; ++row)
        if (row->listState != NotListed) row->listIndex = CheckListAddItem(WizardCheckList, row->caption, row->checkState);
    if (!destinationProposed) {
        ProposeDestination(DestinationPath);
        destinationProposed = true;
    }
    SetDlgItemTextA(WizardWindow, IDC_DESTINATION, DestinationPath);
}

DestinationRefusal TakeDestinationField()
{
    // The field takes no more than a path holds (EM_LIMITTEXT), so nothing is cut here.
    // Read as Unicode: a name the code page cannot spell is refused as such,
    // not taken as its lookalike.
    wchar_t typed[PathSize] = L"";
    GetDlgItemTextW(WizardWindow, IDC_DESTINATION, typed, PathSize);
    return TakeDestination(typed);
}

void ReadBackChoices()
{
    for (InstallTarget* row = TargetTable; row->caption; ++row)
        if (row->listState != NotListed)
            row->checkState = static_cast<TickState>(CheckListGetItemData(WizardCheckList, row->listIndex));
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
