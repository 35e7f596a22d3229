#pragma once
// Resource and control ids of the installer's wizard.

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
