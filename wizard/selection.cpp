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
    for (int row = 0; row < TargetCount; ++row) {
        TargetState& state = TargetStates[row];
        if (state.listState != NotListed)
            state.listIndex = CheckListAddItem(WizardCheckList, TargetTable[row].caption, state.checkState);
    }
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
    for (TargetState& state : TargetStates)
        if (state.listState != NotListed)
            state.checkState = static_cast<TickState>(CheckListGetItemData(WizardCheckList, state.listIndex));
}

std::uint32_t TickedEnvironments()
{
    std::uint32_t rows = 0;
    for (int row = 0; row < TargetCount; ++row) {
        const TargetState& state = TargetStates[row];
        if (IsEnvironment(TargetTable[row]) && state.listState != NotListed &&
            CheckListGetItemData(WizardCheckList, state.listIndex) == Install)
            rows |= 1u << row;
    }
    return rows;
}
