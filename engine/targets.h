#pragma once
// Detection of the installed environments and the choice of the destination.
#include <cstdint>

#include "catalogue.h"
#include "templates.h"

struct CheckListState;

constexpr int DestinationEditId = 120;

// The destination folder while page 2 is shown.
extern char DestinationPath[PathSize];
// Set at the end of the first entry to page 2; from then on the environments
// no longer decide the destination.
extern bool destinationProposed;
// The wizard's check list; set when the wizard attaches it.
extern CheckListState* WizardCheckList;

void DetectTarget(InstallTarget* target);
// Page 2 and the unattended installation alike: every environment row
// detected, then the destination proposed into DestinationPath.
void DetectTargets();
void ProposeDestination();
void FillTargetList();
// The ticks, and the destination field through TakeDestination.
bool ReadBackChoices();
// DestinationPath becomes "$HOME_DIR$" as a full path; false, with
// "$HOME_DIR$" empty, when it cannot be made the full path of a folder on a
// drive or a network share.
// Also sets $SYS_DIR$ and $UNINST_DIR$ (the system folder; the Windows
// folder on 64-bit Windows).
bool TakeDestination();
// True for a 32-bit process on 64-bit Windows.
bool RunsUnderWow64();
// The environment rows ticked on page 2 (bit n: TargetTable row n), read
// without taking the choices over.
std::uint32_t TickedEnvironments();
void ReleaseTargets();
