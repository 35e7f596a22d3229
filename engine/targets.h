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
void FillTargetList();
void ReadBackChoices();
// The environment rows ticked on page 2 (bit n: TargetTable row n), read
// without taking the choices over.
std::uint32_t TickedEnvironments();
void ReleaseTargets();
