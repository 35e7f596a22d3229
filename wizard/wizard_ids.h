#pragma once
// Resource and control ids of install.exe, read by its resource scripts, its
// wizard and the scripts that address the wizard's controls; here, with the
// scripts, so that the engine includes nothing of the wizard (plain #defines:
// windres knows no C++).

#define IDD_WIZARD 1
#define IDB_PICTURE 1
#define IDI_WIZARD 1

#define IDC_MAIN_TEXT 101
#define IDC_SECOND_TEXT 102
#define IDC_THIRD_TEXT 105
#define IDC_PROGRESS 106
#define IDC_PAGE_LABEL 107
#define IDC_BROWSE 119
#define IDC_DESTINATION 120
#define IDC_CHECKLIST 121
#define IDC_PREV 201
#define IDC_NEXT 202
#define IDC_CANCEL 203
#define IDC_PICTURE 300
