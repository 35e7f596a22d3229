#pragma once
// The built-in tables: the targets the user chooses among and their scripts,
// and beside them what a run finds and chooses for each.
#include <cstdint>

#include "product_facts.h"
#include "script_format.h"

// A row of the constant catalogue. The rows with a registryKey are the
// environments; the others (shared files, demos, help) need none.
struct InstallTarget {
    const char* caption;       // null closes the table; begins with a blank
    const char* shortName;     // the row where a list of names needs one ("Delphi 7")
    const char* registryKey;   // under HKLM (and HKCU for the scripts); null: never detected
    const char* valueName;     // "RootDir", or null
    const char* ideProgram;    // the environment's main program below its rootFolder, or null
    const ScriptEntry* script;
};

// What a run knows of a row: where its environment is, and its place and
// tick in the check list.
struct TargetState {
    char* rootFolder;          // PathSize bytes from detection, or null
    ListState listState;
    TickState checkState;
    std::int32_t listIndex;
};

constexpr int TargetCount = 12;
extern const InstallTarget TargetTable[TargetCount + 1];
// By TargetTable row; starts as every row listed and ticked, none detected.
extern TargetState TargetStates[TargetCount];
// The row whose script carries the uninstaller and its entry in Windows' list.
extern const int SharedFilesRow;
// The uninstaller and the entry in Windows' list that starts it: written
// before anything else, and again by the shared files.
extern const ScriptEntry UninstallerScript[];

constexpr bool IsEnvironment(const InstallTarget& target) { return target.registryKey != nullptr; }

extern const char ProductDescription[];
