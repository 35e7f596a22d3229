#pragma once
// Page 2: the check list of targets and the destination field.
#include <cstdint>

#include "../engine/targets.h"

struct CheckListState;

// The folder the destination field shows on entering page 2: the proposal,
// made on the first entry, or the folder chosen with the browser since.
extern char DestinationPath[PathSize];
extern bool destinationProposed;
// The wizard's check list; set when the wizard attaches it.
extern CheckListState* WizardCheckList;

// Detects the environments, lists the offered rows (all ticked again) and
// shows DestinationPath in the destination field.
void FillTargetList();
// The field's text through TakeDestination; the ticks stay on the list.
DestinationRefusal TakeDestinationField();
// The ticks into TargetStates' checkState.
void ReadBackChoices();
// The environment rows ticked on page 2 (bit n: TargetTable row n), read
// without taking the choices over.
std::uint32_t TickedEnvironments();
