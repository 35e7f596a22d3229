#include "checklist.h"

namespace {

struct ItemColours {
    int background;  // system colour index of the band
    int text;
};

constexpr ItemColours SelectedColours = {COLOR_ACTIVECAPTION, COLOR_HIGHLIGHTTEXT};
constexpr ItemColours PlainColours = {COLOR_WINDOW, COLOR_WINDOWTEXT};

constexpr LONG BandLeft = 18;         // fixed, whatever the item rectangle's left edge
constexpr LONG CheckBoxBaseSide = 10;  // the box's side is this plus its inset
constexpr LONG TextGap = 2;           // between the item height and the text
constexpr LONG Ticked = 1;

CheckListState* StateOf(HWND window)
{
    return reinterpret_cast<CheckListState*>(GetWindowLongA(window, GWL_USERDATA));
}

// Fetches the item's text into textBuffer; a text that would not fit leaves
// the empty text, since LB_GETTEXT knows nothing of the buffer's size.
void FetchItemText(CheckListState* state, HWND list, UINT item)
{
    state->textBuffer[0] = '\0';
    const LRESULT length = SendMessageA(list, LB_GETTEXTLEN, item, 0);
    if (length < 0 || length >= CheckListTextSize) return;
    if (SendMessageA(list, LB_GETTEXT, item, reinterpret_cast<LPARAM>(state->textBuffer)) == LB_ERR)
        state->textBuffer[0] = '\0';
}

LRESULT DrawFocusFrame(CheckListState* state, HDC dc, RECT rc)
{
    rc.left += state->itemHeight + TextGap;
    DrawFocusRect(dc, &rc);
    return 1;
}

LRESULT PaintItem(CheckListState* state, const DRAWITEMSTRUCT* item)
{
    HDC dc = item->hDC;
    const RECT rc = item->rcItem;
    const ItemColours& colours = (item->itemState & ODS_SELECTED) ? SelectedColours : PlainColours;
    const COLORREF background = GetSysColor(colours.background);
    const COLORREF text = GetSysColor(colours.text);

    // The DC's own brush and pen go back in before returning, so every paint
    // deletes what it created.
    HBRUSH brush = CreateSolidBrush(background);
    HGDIOBJ originalBrush = SelectObject(dc, brush);
    HPEN pen = CreatePen(PS_SOLID, 0, background);
    HGDIOBJ originalPen = SelectObject(dc, pen);
    SetBkColor(dc, background);
    SetTextColor(dc, text);

    Rectangle(dc, BandLeft, rc.top, rc.right, rc.bottom);

    const LONG inset = (state->itemHeight - CheckBoxBaseSide) >> 1;
    RECT& box = state->checkBoxRect;
    box.left = rc.left + inset;
    box.right = box.left + CheckBoxBaseSide + inset;
    box.top = rc.top + inset;
    box.bottom = box.top + CheckBoxBaseSide + inset;
    const LRESULT data = SendMessageA(item->hwndItem, LB_GETITEMDATA, item->itemID, 0);
    UINT boxState = DFCS_BUTTONCHECK | DFCS_FLAT;
    if (data == Ticked) boxState |= DFCS_CHECKED;
    DrawFrameControl(dc, &box, DFC_BUTTON, boxState);

    FetchItemText(state, item->hwndItem, item->itemID);
    LRESULT result = TextOutA(dc, state->itemHeight + TextGap, rc.top + static_cast<LONG>(state->textOffset),
                              state->textBuffer, lstrlenA(state->textBuffer));
    if (item->itemState & (ODS_FOCUS | ODS_SELECTED)) result = DrawFocusFrame(state, dc, rc);

    if (originalPen) SelectObject(dc, originalPen);
    if (originalBrush) SelectObject(dc, originalBrush);
    if (pen) DeleteObject(pen);
    if (brush) DeleteObject(brush);
    return result;
}

}  // namespace

CheckListState* CheckListAttach(HWND listWindow)
{
    if (!IsWindow(listWindow)) return nullptr;
    auto* state = static_cast<CheckListState*>(LocalAlloc(LPTR, sizeof(CheckListState)));
    if (!state) return nullptr;
    state->listWindow = listWindow;
    state->previousListProc = reinterpret_cast<WNDPROC>(
        SetWindowLongA(listWindow, GWL_WNDPROC, reinterpret_cast<LONG>(CheckListProc)));
    state->previousListUserData = SetWindowLongA(listWindow, GWL_USERDATA, reinterpret_cast<LONG>(state));
    state->parentWindow = GetParent(listWindow);
    state->previousParentProc = reinterpret_cast<WNDPROC>(
        SetWindowLongA(state->parentWindow, GWL_WNDPROC, reinterpret_cast<LONG>(CheckListParentProc)));
    state->previousParentUserData =
        SetWindowLongA(state->parentWindow, GWL_USERDATA, reinterpret_cast<LONG>(state));

    // Measured in the list box's plain DC, so this is the DC's default font.
    HDC dc = GetDC(listWindow);
    GetTextMetricsA(dc, &state->textMetrics);
    ReleaseDC(listWindow, dc);
    const LONG ascent = state->textMetrics.tmAscent;
    state->itemHeight = ascent > CheckListMinItemHeight ? ascent : CheckListMinItemHeight;
    state->textOffset = static_cast<DWORD>(state->itemHeight - ascent) >> 1;
    SendMessageA(listWindow, LB_SETITEMHEIGHT, 0, state->itemHeight);
    return state;
}

void CheckListDetach(CheckListState* state)
{
    if (!state) return;
    SetWindowLongA(state->parentWindow, GWL_USERDATA, state->previousParentUserData);
    SetWindowLongA(state->parentWindow, GWL_WNDPROC, reinterpret_cast<LONG>(state->previousParentProc));
    SetWindowLongA(state->listWindow, GWL_USERDATA, state->previousListUserData);
    SetWindowLongA(state->listWindow, GWL_WNDPROC, reinterpret_cast<LONG>(state->previousListProc));
    LocalFree(state);
}

int CheckListAddItem(CheckListState* state, const char* text, LONG data)
{
    if (!state || !text || lstrlenA(text) >= CheckListTextSize) return LB_ERR;
    const LRESULT index = SendMessageA(state->listWindow, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (index < 0) return static_cast<int>(index);  // LB_ERR or LB_ERRSPACE: nothing was added
    SendMessageA(state->listWindow, LB_SETITEMDATA, index, data);
    return static_cast<int>(index);
}

LONG CheckListGetItemData(CheckListState* state, int index)
{
    if (!state) return LB_ERR;
    return static_cast<LONG>(SendMessageA(state->listWindow, LB_GETITEMDATA, index, 0));
}

void CheckListReset(CheckListState* state)
{
    if (!state) return;
    SendMessageA(state->listWindow, LB_RESETCONTENT, 0, 0);
}

int CheckListToggleSelection(CheckListState* state)
{
    if (!state) return LB_ERR;
    const LRESULT index = SendMessageA(state->listWindow, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR) return LB_ERR;
    const LONG data = static_cast<LONG>(SendMessageA(state->listWindow, LB_GETITEMDATA, index, 0));
    SendMessageA(state->listWindow, LB_SETITEMDATA, index, -data);
    InvalidateRect(state->listWindow, nullptr, FALSE);
    UpdateWindow(state->listWindow);
    return static_cast<int>(index);
}

LRESULT CALLBACK CheckListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CheckListState* state = StateOf(window);
    if (!state) return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_MOUSEWHEEL: {
        // The bit shifted out is the delta's sign; the list box's own wheel
        // handling then sees the shifted value.
        const bool towardsUser = (static_cast<DWORD>(wParam) & 0x80000000u) != 0;
        wParam = static_cast<DWORD>(wParam) << 1;
        SendMessageA(window, WM_VSCROLL, towardsUser ? SB_LINEDOWN : SB_LINEUP, 0);
        break;
    }
    case WM_LBUTTONDOWN:
        state->clickArm = 1;
        break;
    case WM_LBUTTONUP:
        // A double click's second press does not arm, so it toggles once.
        if (--state->clickArm == 0) CheckListToggleSelection(state);
        break;
    case WM_CHAR:
        if (wParam == ' ') CheckListToggleSelection(state);
        break;
    }
    return CallWindowProcA(state->previousListProc, window, message, wParam, lParam);
}

LRESULT CALLBACK CheckListParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CheckListState* state = StateOf(window);
    if (!state) return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_DRAWITEM) {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->itemID != static_cast<UINT>(-1)) {
            if (item->itemAction == ODA_DRAWENTIRE || item->itemAction == ODA_SELECT)
                return PaintItem(state, item);
            if (item->itemAction == ODA_FOCUS) return DrawFocusFrame(state, item->hDC, item->rcItem);
        }
    }
    return CallWindowProcA(state->previousParentProc, window, message, wParam, lParam);
}
