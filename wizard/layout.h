#pragma once
// Pixel geometry of the wizard, derived from button 203's size and the
// dialog's client area.
#include <windows.h>

extern int ColumnWidth;

HWND MoveControl(int id, int x, int y, int width, int height, HWND insertAfter, UINT flags);
void LayoutWizard();
void LayoutSelectionPage();
// How many lines of its font text 102 shows where 105 does not cover it; at least 1.
int SecondTextLines();
