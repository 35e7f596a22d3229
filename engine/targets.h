#pragma once
// Detection of the installed environments and the choice of the destination.
// Knows nothing of the wizard's controls: page 2 (wizard/selection) and the
// run without a window both build on it.
#include "catalogue.h"
#include "templates.h"

// The row's environment looked up: its folder into TargetStates[row].
void DetectTarget(int row);
// Every environment row detected.
void DetectTargets();
// The folder to propose, from the rows as detected, into out (PathSize
// bytes): an earlier installation's home folder, else "Ostrevane" beside the
// last environment found, else "\Ostrevane". Reads "$HOME_OLD$" too.
void ProposeDestination(char* out);

// Why a destination cannot be used.
enum class DestinationRefusal {
    None,        // taken
    Empty,
    NotAFolder,  // no folder name: a character no name may hold, a device, a placeholder's name
    TooLong,     // no room below it for the installation's files
    DriveRoot,
    Network,     // a share, or a drive that leads to one
    NoDrive,
    Blocked,     // a file where a folder of the path would go
    NotInCodePage,  // a character the ANSI code page cannot spell
    Unguarded,   // an existing folder that holds something and that others than administrators may change
    LinkAbove,   // a folder above it is a link, a junction or a mounted volume
    InstalledElsewhere,  // the recorded home folder in another folder still holds its log
};

// The one way from what the user gave (the destination field, the folder
// browser's choice, /D=) to the home folder: ends trimmed, made a full path,
// checked, and stored as "$HOME_DIR$". Anything refused leaves "$HOME_DIR$"
// empty. Nothing is written to disk. Also sets $SYS_DIR$ and $UNINST_DIR$
// (the system folder; the Windows folder on 64-bit Windows).
DestinationRefusal TakeDestination(const char* given);
// The same for a Unicode text (the command line, the field): refused when the
// ANSI code page, in which the environments' tools and registry take it,
// cannot spell every character as it is (no lookalike).
DestinationRefusal TakeDestination(const wchar_t* given);
// The text that tells the user why; the empty text for None.
const char* RefusalText(DestinationRefusal refusal);
// True for a 32-bit process on 64-bit Windows.
bool RunsUnderWow64();
// Fills the text core's lead bytes from the ANSI code page.
void LearnCodePage();
void ReleaseTargets();
