#pragma once
// Pixel geometry of the wizard, derived from the Cancel button's size and the
// dialog's client area.
#include <windows.h>

extern int ColumnWidth;

HWND MoveControl(int id, int x, int y, int width, int height, HWND insertAfter, UINT flags);
void LayoutWizard();
void LayoutSelectionPage();
// How many lines of its font the second text shows where the third does not cover it; at least 1.
int SecondTextLines();
