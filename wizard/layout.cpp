#include "layout.h"

#include "wizard.h"
#include "wizard_ids.h"

int ColumnWidth = 0;

namespace {

int ClientHeight(HWND control)
{
    RECT rc{};
    GetClientRect(control, &rc);
    return rc.bottom - rc.top;
}

}  // namespace

HWND MoveControl(int id, int x, int y, int width, int height, HWND insertAfter, UINT flags)
{
    HWND control = GetDlgItem(WizardWindow, id);
    SetWindowPos(control, insertAfter, x, y, width, height, flags);  // a missing control is passed over
    return control;
}

void LayoutWizard()
{
    RECT button{};
    GetClientRect(GetDlgItem(WizardWindow, IDC_CANCEL), &button);
    const int w = button.right - button.left;
    const int h = button.bottom - button.top;

    // The dialog keeps the corner where it was centred at template size.
    SetWindowPos(WizardWindow, HWND_TOP, 0, 0, 3 * w + 248, 2 * h + 304, SWP_NOMOVE);
    MoveControl(IDC_PICTURE, 8, 8, 200, 300, HWND_TOP, SWP_SHOWWINDOW);
    MoveControl(IDC_PAGE_LABEL, 8, 308, 0, 0, HWND_TOP, SWP_NOSIZE);

    RECT client{};
    GetClientRect(WizardWindow, &client);
    const int W = client.right - client.left;
    const int H = client.bottom - client.top;

    const int yB = H - h - 4;
    MoveControl(IDC_PREV, 216, yB, 0, 0, HWND_TOP, SWP_NOSIZE);
    MoveControl(IDC_NEXT, 224 + w, yB, 0, 0, HWND_TOP, SWP_NOSIZE);
    MoveControl(IDC_CANCEL, 232 + 2 * w, yB, 0, 0, HWND_TOP, SWP_NOSIZE);

    ColumnWidth = W - 232;
    int y = 8;
    y += ClientHeight(MoveControl(IDC_MAIN_TEXT, 216, y, ColumnWidth, 80, HWND_BOTTOM, SWP_SHOWWINDOW)) + 8;
    y += ClientHeight(MoveControl(IDC_SECOND_TEXT, 216, y, ColumnWidth, 80, HWND_TOP, SWP_SHOWWINDOW)) + 8;
    y += ClientHeight(MoveControl(IDC_THIRD_TEXT, 216, y, ColumnWidth, 80, HWND_TOP, SWP_SHOWWINDOW));
    MoveControl(IDC_PROGRESS, 216, y, ColumnWidth, 16, HWND_TOP, SWP_SHOWWINDOW);
}

void LayoutSelectionPage()
{
    const int mainHeight = ClientHeight(MoveControl(IDC_MAIN_TEXT, 0, 0, ColumnWidth, 75, HWND_TOP,
                                              SWP_SHOWWINDOW | SWP_NOMOVE));
    MoveControl(IDC_CHECKLIST, 216, mainHeight + 8, ColumnWidth, 75, HWND_TOP, SWP_SHOWWINDOW);
    MoveControl(IDC_THIRD_TEXT, 216, mainHeight + 91, ColumnWidth, 16, HWND_TOP, SWP_SHOWWINDOW);

    RECT edit{};
    GetWindowRect(GetDlgItem(WizardWindow, IDC_DESTINATION), &edit);
    const int e = edit.bottom - edit.top;
    MoveControl(IDC_DESTINATION, 216, mainHeight + 111, ColumnWidth - 2 * e, e, HWND_TOP, SWP_SHOWWINDOW);
    MoveControl(IDC_BROWSE, 224 + ColumnWidth - 2 * e, mainHeight + 111, e, e, HWND_TOP, SWP_SHOWWINDOW);
}

int SecondTextLines()
{
    HWND text = GetDlgItem(WizardWindow, IDC_SECOND_TEXT);
    RECT box{}, status{};
    GetWindowRect(text, &box);
    GetWindowRect(GetDlgItem(WizardWindow, IDC_THIRD_TEXT), &status);
    // After page 2, the third text lies over the lowest part of the second.
    int height = box.bottom - box.top;
    if (status.top > box.top && status.top < box.bottom) height = status.top - box.top;

    TEXTMETRICA metrics{};
    HDC dc = GetDC(text);
    if (dc) {
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(text, WM_GETFONT, 0, 0)));
        GetTextMetricsA(dc, &metrics);
        SelectObject(dc, old);
        ReleaseDC(text, dc);
    }
    const int lines = metrics.tmHeight > 0 ? height / metrics.tmHeight : 1;
    return lines > 0 ? lines : 1;
}
