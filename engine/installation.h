#pragma once
// The installation, the same with the wizard (on its own thread, the wizard
// showing it) and without (called directly, the run reporting it), once the
// destination is taken (TakeDestination) and the choices are made.
#include <windows.h>

#include "catalogue.h"

// BeginInstallation, every chosen target's script, EndInstallation, then the
// wizard's next page. Notes what fails in the failure record (failures.h),
// each target's steps under its row, "RootDir" under none. 1 when nothing
// was installed (BeginInstallation failed), else 0. laterFile, when not null,
// is the full path of a file in the home folder that the caller writes after
// the scripts (the unattended run's report): logged, so that the removal
// takes it too.
DWORD WINAPI ScriptWorker(LPVOID);
// The ScriptWorker's middle: every chosen target's script, then "RootDir"
// and the registry records that go last. targets holds TargetTable's rows,
// or a copy with other scripts; the choices are TargetStates'.
void RunChosenScripts(const InstallTarget* targets = TargetTable);
// The steps around the ScriptWorker that every installation takes, with the
// wizard or without: the failures cleared, the destination ($HOME_DIR$)
// created, the log opened with the product's record and the folders made
// above the destination; at the end the log file written. False, with
// nothing written, when the destination was not taken or cannot be made.
bool BeginInstallation(bool destinationTaken);
void EndInstallation();
// The product's details in Windows' list that only the end of an installation
// knows: its date, the kilobytes of the files it leaves, and that it can
// be neither modified nor repaired. Noted under the shared files when they fail.
void RegisterProductDetails();
// Windows' Active Setup component that starts the registrar at each user's
// logon (32-bit view), its Version raised above the one there; logged ahead.
// Noted under the shared files when it fails; only beside them.
void RegisterLogonComponent();
