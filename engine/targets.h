#pragma once
// Detection of the installed environments and the choice of the destination.
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
void ReadBackChoices();
// DestinationPath becomes $HOME_DIR$; the system folder becomes $SYS_DIR$.
void TakeDestination();
void ReleaseTargets();
