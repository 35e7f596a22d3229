#pragma once
// The check list: an owner-drawn list box (fixed item height, with strings)
// whose items carry a check box. An item's tick is its list box item data:
// 1 is ticked, any other value is drawn unticked, and a toggle negates it.
#include <windows.h>

constexpr int CheckListTextSize = 256;       // textBuffer: 255 characters and the NUL
constexpr LONG CheckListMinItemHeight = 16;

// One record per attached list box; both the list box and its parent hold a
// reference to it as their user data while it is attached.
struct CheckListState {
    HWND listWindow;
    HWND parentWindow;                 // the list box's parent at attach time
    WNDPROC previousListProc;
    LONG previousListUserData;
    WNDPROC previousParentProc;
    LONG previousParentUserData;
    LONG clickArm;                     // 1 after a press; a release taking it to 0 toggles
    LONG itemHeight;                   // the font's ascent, at least 16
    DWORD textOffset;                  // (itemHeight - ascent) / 2
    RECT checkBoxRect;                 // of the item being drawn
    char textBuffer[CheckListTextSize];  // text of the item being drawn
    TEXTMETRICA textMetrics;           // measured once at attach time
};

// Subclasses the list box and its parent. Null when listWindow is not a
// window or the record cannot be allocated; both windows are then untouched.
CheckListState* CheckListAttach(HWND listWindow);
// Restores both windows' procedures and user data and releases the record.
void CheckListDetach(CheckListState* state);

// Appends an item and returns its index. A text over 255 characters is
// refused: nothing is added and the result is -1 (LB_ERR).
int CheckListAddItem(CheckListState* state, const char* text, LONG data);
// The item's data, or -1 (LB_ERR) for no such item.
LONG CheckListGetItemData(CheckListState* state, int index);
void CheckListReset(CheckListState* state);
// Negates the selected item's data and redraws it; the item's index, or -1
// when nothing is selected.
int CheckListToggleSelection(CheckListState* state);

// Every operation above accepts a null state: it does nothing and answers -1.

LRESULT CALLBACK CheckListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK CheckListParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
