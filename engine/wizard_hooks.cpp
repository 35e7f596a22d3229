#include "wizard_hooks.h"

#include <commctrl.h>

#include "wizard_ids.h"

HWND WizardWindow = nullptr;
void (*AdvanceWizardPage)() = nullptr;

void SetWizardControlText(int id, const char* text)
{
    if (WizardWindow) SetDlgItemTextA(WizardWindow, id, text);
}

void AdvanceProgress(int amount)
{
    if (WizardWindow) SendDlgItemMessageA(WizardWindow, IDC_PROGRESS, PBM_DELTAPOS, static_cast<WPARAM>(amount), 0);
}
