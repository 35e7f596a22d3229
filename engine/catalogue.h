#pragma once
// The built-in tables: the targets the user chooses among and their scripts.
#include <cstdint>

#include "script_format.h"

struct InstallTarget {
    const char* caption;       // null closes the table; begins with a blank
    const char* registryKey;   // under HKLM (and HKCU for the scripts); null: never detected
    const char* valueName;     // "RootDir", or null
    char* rootFolder;          // PathSize bytes from detection, or null
    ListState listState;
    TickState checkState;
    std::int32_t listIndex;
    const ScriptEntry* script;
};

constexpr int TargetCount = 12;
constexpr int SharedFilesRow = 9;
// The product's key in Windows' list of installed software, under HKLM.
extern const char UninstallKey[];
extern InstallTarget TargetTable[TargetCount + 1];
// The uninstaller and the entry in Windows' list that starts it: written
// before anything else, and again by the shared files.
extern const ScriptEntry UninstallerScript[];
// The rows' names where the finish page lists what failed, in table order.
extern const char* const TargetShortNames[TargetCount];

extern const char ProductDescription[];
