#pragma once
// Resource and control ids of kvxpurge, read by the program and its resource
// script (plain #defines: windres knows no C++).

#define IDD_UNINSTALL 1    // the one dialog
#define IDI_UNINSTALL 1    // group icon of the dialog's class
#define IDB_PICTURE 103    // the picture beside the texts

#define IDC_HEADLINE 101   // the product
#define IDC_STAGE 102      // the instruction, then the target being removed
#define IDC_STATUS 103     // the log path, then what is being done
#define IDC_PROGRESS 106   // progress of the replay
#define IDC_UNINSTALL 202  // starts the replay
#define IDC_CANCEL 203     // closes the dialog; "Finish" at the end
#define IDC_PICTURE 300
