#pragma once
// The install script interpreter: the one switch that executes the
// operations of script_format.h.
#include "script_format.h"
#include "uninstall_log.h"

// An entry whose template, argument or pattern does not fit its buffer only
// moves the bar: its operation never acts on a cut or emptied text. A step
// that fails is noted and has no effect; the next one runs.
void RunScript(const ScriptEntry* script);

// Forgets what the last installation read of the restart's pending
// deletions and saw in its home folder: each installation looks afresh.
void ForgetEarlierLooks();

// Bytes of the files the installation leaves (the payload, the built
// packages and their copies); the installation sets it to 0 as it begins.
extern unsigned long long InstalledBytes;

// The record in the log on disk ahead of the step it undoes. False, with
// the log noted as not written, when it is not: the step then does not run.
bool Ahead(LogRecordType type, const char* text);
